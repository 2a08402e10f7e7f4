#include "search/detail/link_rules.h"

#include "search/detail/byte_scan.h"

#include <algorithm>
#include <cstring>

namespace {

inline char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool containsFolded(QByteArrayView text, QByteArrayView word)
{
    if (word.isEmpty())
        return true;
    const char first = lower(word[0]);
    const qsizetype last = text.size() - word.size();
    for (qsizetype i = 0; i <= last; ++i) {
        if (lower(text[i]) != first)
            continue;
        qsizetype k = 1;
        while (k < word.size() && lower(text[i + k]) == lower(word[k]))
            ++k;
        if (k == word.size())
            return true;
    }
    return false;
}

// True when something follows the first "/" behind the host.
bool HasFilePath(QByteArrayView url)
{
    const char *begin = url.data();
    const char *end = begin + url.size();
    const char *slashes = nullptr;
    for (const char *p = begin; p < end; ++p) {
        p = static_cast<const char *>(std::memchr(p, '/', static_cast<std::size_t>(end - p)));
        if (!p)
            return false;
        if (p + 1 < end && p[1] == '/') {
            slashes = p;
            break;
        }
    }
    if (!slashes)
        return false;
    // The host has at least one character: the slash that ends it is looked for from the second
    // character behind the "//" on.
    const char *from = slashes + 3;
    if (from >= end)
        return false;
    const void *slash = std::memchr(from, '/', static_cast<std::size_t>(end - from));
    return slash && static_cast<const char *>(slash) + 1 < end;
}

} // namespace

std::vector<QByteArrayView> SplitWords(QByteArrayView text)
{
    std::vector<QByteArrayView> words;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ' ' || text[i] == '+') {
            if (i > start)
                words.push_back(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    return words;
}

namespace {

template<std::size_t N>
bool endsWithExactly(QByteArrayView text, const char (&ending)[N])
{
    constexpr qsizetype size = N - 1;
    return text.size() >= size && __builtin_memcmp(text.data() + text.size() - size, ending, size) == 0;
}

} // namespace

bool IsHTTPFileLink(QByteArrayView link, bool hasQuestionMark, const std::vector<QByteArrayView> &words)
{
    // Exact case on purpose: "x.HTML" is taken, "x.html" and "x.shtml" are not.
    return !hasQuestionMark && !endsWithExactly(link, "html") && !endsWithExactly(link, "htm") && HasFilePath(link)
        && std::any_of(words.begin(), words.end(), [link](QByteArrayView word) { return containsFolded(link, word); });
}

bool HasControlCharacter(QByteArrayView s)
{
    return byteScan::hasControlCharacter(s);
}
