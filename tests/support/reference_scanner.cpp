#include "support/reference_scanner.h"

#include <cstring>

namespace {

constexpr QByteArrayView kFTPScheme("ftp://");
constexpr QByteArrayView kHTTPScheme("http://");
constexpr qsizetype kHrefSize = 6; // href= and the quote

inline char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// `lowerText` holds no capitals, so folding only the page side is enough.
inline bool equalFolded(const char *text, QByteArrayView lowerText)
{
    for (qsizetype k = 0; k < lowerText.size(); ++k) {
        if (lower(text[k]) != lowerText[k])
            return false;
    }
    return true;
}

// Does `href=<quote><scheme>` (letters in any case) start at `at`?
bool matchesAt(QByteArrayView text, qsizetype at, char quote, QByteArrayView scheme)
{
    if (at < 0 || at + kHrefSize + scheme.size() > text.size())
        return false;
    const char *p = text.data() + at;
    return equalFolded(p, "href=") && p[5] == quote && equalFolded(p + kHrefSize, scheme);
}

// The first `href=<quote><scheme>` in `text`, found by the "=" that every match holds.
qsizetype findMatch(QByteArrayView text, char quote, QByteArrayView scheme)
{
    const char *begin = text.data();
    const char *end = begin + text.size();
    const char *p = begin + 4;
    while (p < end) {
        const void *eq = std::memchr(p, '=', static_cast<std::size_t>(end - p));
        if (!eq)
            return -1;
        const qsizetype at = static_cast<const char *>(eq) - begin - 4;
        if (matchesAt(text, at, quote, scheme))
            return at;
        p = static_cast<const char *>(eq) + 1;
    }
    return -1;
}

qsizetype findLink(QByteArrayView text, char &quote, QByteArrayView scheme)
{
    for (const char q : {'"', '\''}) {
        const qsizetype at = findMatch(text, q, scheme);
        if (at >= 0) {
            quote = q;
            return at + kHrefSize;
        }
    }
    return -1;
}

} // namespace

qsizetype FindFTPLink(QByteArrayView text, char &quote)
{
    return findLink(text, quote, kFTPScheme);
}

qsizetype FindHTTPLink(QByteArrayView text, char &quote)
{
    return findLink(text, quote, kHTTPScheme);
}
