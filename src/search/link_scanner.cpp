#include "search/link_scanner.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

constexpr QByteArrayView kFTPScheme("ftp://");
constexpr QByteArrayView kHTTPScheme("http://");
constexpr qsizetype kHrefSize = 6; // href= and the quote
// href='ftp://: no match can start later than this many bytes before the end.
constexpr qsizetype kShortestMatch = kHrefSize + 6;
constexpr std::size_t kPrefetchDistance = 8;
constexpr qsizetype kSweepAhead = 4096;

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

inline bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    return -1;
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

} // namespace

qsizetype FindFTPLink(QByteArrayView text, char &quote)
{
    return findLink(text, quote, kFTPScheme);
}

qsizetype FindHTTPLink(QByteArrayView text, char &quote)
{
    return findLink(text, quote, kHTTPScheme);
}

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

bool LinkMatchesSearch(QByteArrayView link, const std::vector<QByteArrayView> &words)
{
    if (link.contains('?'))
        return false;
    return std::any_of(words.begin(), words.end(),
                       [link](QByteArrayView word) { return containsFolded(link, word); });
}

bool LinkMatchesSearch(QByteArrayView link, QByteArrayView searchString)
{
    return LinkMatchesSearch(link, SplitWords(searchString));
}

namespace {

template<std::size_t N>
bool endsWithExactly(QByteArrayView text, const char (&ending)[N])
{
    constexpr qsizetype size = N - 1;
    return text.size() >= size && __builtin_memcmp(text.data() + text.size() - size, ending, size) == 0;
}

// IsHTTPFileLink with the "?" test already made.
bool isHTTPFileLink(QByteArrayView link, bool hasQuestionMark, const std::vector<QByteArrayView> &words)
{
    // Exact case on purpose: "x.HTML" is taken, "x.html" and "x.shtml" are not.
    return !hasQuestionMark && !endsWithExactly(link, "html") && !endsWithExactly(link, "htm") && HasFilePath(link)
        && std::any_of(words.begin(), words.end(), [link](QByteArrayView word) { return containsFolded(link, word); });
}

} // namespace

bool IsHTTPFileLink(QByteArrayView link, const std::vector<QByteArrayView> &words)
{
    return isHTTPFileLink(link, link.contains('?'), words);
}

int HexToInt(QByteArrayView s)
{
    qint64 value = 0;
    for (const char c : s) {
        const int digit = digitValue(c);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
        if (value > std::numeric_limits<int>::max())
            return -1;
    }
    return static_cast<int>(value);
}

QByteArrayView UnescapeURL(QByteArrayView s, std::string &buffer)
{
    const void *firstPercent = std::memchr(s.data(), '%', static_cast<std::size_t>(s.size()));
    if (!firstPercent)
        return s;
    buffer.assign(s.data(), static_cast<std::size_t>(s.size()));
    char *b = buffer.data();
    const qsizetype n = s.size();
    qsizetype r = static_cast<const char *>(firstPercent) - s.data();
    qsizetype w = r;
    // In place: the write position never passes the read position.
    while (r < n) {
        if (b[r] != '%') {
            const void *next = std::memchr(b + r, '%', static_cast<std::size_t>(n - r));
            const qsizetype end = next ? static_cast<const char *>(next) - b : n;
            std::memmove(b + w, b + r, static_cast<std::size_t>(end - r));
            w += end - r;
            r = end;
            continue;
        }
        if (r + 2 < n && isHexDigit(b[r + 1]) && isHexDigit(b[r + 2])) {
            const char decoded = static_cast<char>(digitValue(b[r + 1]) * 16 + digitValue(b[r + 2]));
            r += 2;
            if (decoded == '%') {
                // Read again together with the two characters that follow it.
                b[r] = '%';
                continue;
            }
            b[w++] = decoded;
            ++r;
            continue;
        }
        b[w++] = '%';
        ++r;
    }
    buffer.resize(static_cast<std::size_t>(w));
    return QByteArrayView(buffer.data(), w);
}

QByteArray UnescapeURL(QByteArrayView s)
{
    std::string buffer;
    return UnescapeURL(s, buffer).toByteArray();
}

bool HasControlCharacter(QByteArrayView s)
{
    const auto *p = reinterpret_cast<const unsigned char *>(s.data());
    const qsizetype n = s.size();
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i lastControl = _mm_set1_epi8(31);
    const __m128i del = _mm_set1_epi8(127);
    const auto control = [&](qsizetype at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + at));
        const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, lastControl), v);
        return _mm_movemask_epi8(_mm_or_si128(low, _mm_cmpeq_epi8(v, del))) != 0;
    };
    if (n >= 16) {
        for (; i + 16 <= n; i += 16) {
            if (control(i))
                return true;
        }
        // The last bytes in one more block that overlaps the one before.
        return i < n && control(n - 16);
    }
#endif
    for (; i < n; ++i) {
        if (p[i] < 32 || p[i] == 127)
            return true;
    }
    return false;
}

namespace {

void noteByte(PageScanner::LinkBytes &found, unsigned char c)
{
    found.percent |= c == '%';
    found.control |= c < 32 || c == 127;
    found.questionMark |= c == '?';
}

// Looks for the closing quote in [from, until) and notes on the way what the link holds; true
// when found.
bool scanLink(QByteArrayView page, qsizetype from, qsizetype until, char quote, PageScanner::LinkBytes &found)
{
    const auto *p = reinterpret_cast<const unsigned char *>(page.data());
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i quotes = _mm_set1_epi8(quote);
    const __m128i percent = _mm_set1_epi8('%');
    const __m128i questionMark = _mm_set1_epi8('?');
    const __m128i lastControl = _mm_set1_epi8(31);
    const __m128i del = _mm_set1_epi8(127);
    for (; i + 16 <= until; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const auto closing = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, quotes)));
        __m128i marks = _mm_or_si128(_mm_cmpeq_epi8(v, percent), _mm_cmpeq_epi8(v, questionMark));
        marks = _mm_or_si128(marks, _mm_cmpeq_epi8(_mm_min_epu8(v, lastControl), v));
        marks = _mm_or_si128(marks, _mm_cmpeq_epi8(v, del));
        const unsigned before = closing != 0 ? (closing & (0u - closing)) - 1 : 0xffffu;
        // Rare: look at the marked bytes one by one.
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(marks)) & before; mask != 0; mask &= mask - 1)
            noteByte(found, p[i + __builtin_ctz(mask)]);
        if (closing != 0) {
            found.end = i + __builtin_ctz(closing);
            return true;
        }
    }
#endif
    for (; i < until; ++i) {
        if (p[i] == static_cast<unsigned char>(quote)) {
            found.end = i;
            return true;
        }
        noteByte(found, p[i]);
    }
    return false;
}

} // namespace

PageScanner::PageScanner(QByteArrayView page, int mode, QByteArrayView searchString)
    : m_page(page)
    , m_mode(mode)
    , m_search(searchString.toByteArray())
    , m_words(SplitWords(m_search))
{
    if (!validMode())
        m_phase = Phase::Done;
}

namespace {

// Where the characters that every match holds at fixed offsets stand in 64 bytes of the page, one
// bit per byte: "h" (or "H") at 0, "=" at 4, a quote at 5, "f" or "h" at 6.
struct BlockMasks
{
    quint64 h = 0;
    quint64 equals = 0;
    quint64 quote = 0;
    quint64 scheme = 0;
};

// The starts in a block whose characters all stand right; `next` is the following block.
__attribute__((always_inline)) inline quint64 candidates(const BlockMasks &block, const BlockMasks &next)
{
    const auto shifted = [](quint64 mask, quint64 following, int by) { return (mask >> by) | (following << (64 - by)); };
    return block.h & shifted(block.equals, next.equals, 4) & shifted(block.quote, next.quote, 5)
        & shifted(block.scheme, next.scheme, 6);
}

// Calls consider(at) for every candidate start in [i, stop) while whole blocks of 64 bytes fit,
// then returns where the caller goes on one byte at a time. Each byte is loaded once: the masks
// are shifted, not the data. The blocks of a stretch are scanned before any candidate is
// considered, so that the scanning loop makes no call and keeps its constants in registers.
template<typename Masks, typename Consider>
__attribute__((always_inline)) inline qsizetype filterBlocks(const char *p, qsizetype i, qsizetype stop,
                                                             qsizetype size, Masks &&masks, Consider &&consider)
{
    constexpr int kStretch = 64;
    quint64 found[kStretch];
    while (i + 64 <= stop && i + 128 <= size) {
        const qsizetype first = i;
        int blocks = 0;
        BlockMasks block = masks(p + i);
        do {
            // The hardware alone does not read far enough ahead to keep the sweep fed.
            if (i + 64 + kSweepAhead < size)
                __builtin_prefetch(p + i + 64 + kSweepAhead);
            const BlockMasks next = masks(p + i + 64);
            found[blocks++] = candidates(block, next);
            block = next;
            i += 64;
        } while (blocks < kStretch && i + 64 <= stop && i + 128 <= size);
        for (int k = 0; k < blocks; ++k) {
            for (quint64 hits = found[k]; hits != 0; hits &= hits - 1)
                consider(first + 64 * k + __builtin_ctzll(hits));
        }
    }
    return i;
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx512f,avx512bw"), always_inline)) inline BlockMasks masksAvx512(const char *p)
{
    const __m512i v = _mm512_loadu_si512(p);
    const __m512i folded = _mm512_or_si512(v, _mm512_set1_epi8(0x20));
    BlockMasks m;
    m.h = _mm512_cmpeq_epi8_mask(folded, _mm512_set1_epi8('h'));
    m.equals = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('='));
    m.quote = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('"')) | _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\''));
    m.scheme = m.h | _mm512_cmpeq_epi8_mask(folded, _mm512_set1_epi8('f'));
    return m;
}

template<typename Consider>
__attribute__((target("avx512f,avx512bw"))) qsizetype filterAvx512(const char *p, qsizetype i, qsizetype stop,
                                                                  qsizetype size, Consider &&consider)
{
    return filterBlocks(p, i, stop, size, masksAvx512, consider);
}

__attribute__((target("avx2"), always_inline)) inline BlockMasks masksAvx2(const char *p)
{
    BlockMasks m;
    for (int half = 0; half < 2; ++half) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32 * half));
        const __m256i folded = _mm256_or_si256(v, _mm256_set1_epi8(0x20));
        const __m256i h = _mm256_cmpeq_epi8(folded, _mm256_set1_epi8('h'));
        const __m256i quote = _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('"')),
                                              _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\'')));
        const __m256i scheme = _mm256_or_si256(h, _mm256_cmpeq_epi8(folded, _mm256_set1_epi8('f')));
        const int shift = 32 * half;
        m.h |= quint64(static_cast<quint32>(_mm256_movemask_epi8(h))) << shift;
        m.equals |= quint64(static_cast<quint32>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('=')))))
            << shift;
        m.quote |= quint64(static_cast<quint32>(_mm256_movemask_epi8(quote))) << shift;
        m.scheme |= quint64(static_cast<quint32>(_mm256_movemask_epi8(scheme))) << shift;
    }
    return m;
}

template<typename Consider>
__attribute__((target("avx2"))) qsizetype filterAvx2(const char *p, qsizetype i, qsizetype stop, qsizetype size,
                                                     Consider &&consider)
{
    return filterBlocks(p, i, stop, size, masksAvx2, consider);
}

bool hasAvx512()
{
    static const bool avx512 = __builtin_cpu_supports("avx512bw") && !qEnvironmentVariableIsSet("KESTRUNE_NO_AVX512");
    return avx512;
}

bool hasAvx2()
{
    static const bool avx2 = __builtin_cpu_supports("avx2") && !qEnvironmentVariableIsSet("KESTRUNE_NO_AVX2");
    return avx2;
}
#endif

#if defined(__SSE2__)
inline BlockMasks masksSse2(const char *p)
{
    BlockMasks m;
    for (int quarter = 0; quarter < 4; ++quarter) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * quarter));
        const __m128i folded = _mm_or_si128(v, _mm_set1_epi8(0x20));
        const __m128i h = _mm_cmpeq_epi8(folded, _mm_set1_epi8('h'));
        const __m128i quote = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\'')));
        const __m128i scheme = _mm_or_si128(h, _mm_cmpeq_epi8(folded, _mm_set1_epi8('f')));
        const int shift = 16 * quarter;
        m.h |= quint64(static_cast<quint32>(_mm_movemask_epi8(h))) << shift;
        m.equals |= quint64(static_cast<quint32>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('='))))) << shift;
        m.quote |= quint64(static_cast<quint32>(_mm_movemask_epi8(quote))) << shift;
        m.scheme |= quint64(static_cast<quint32>(_mm_movemask_epi8(scheme))) << shift;
    }
    return m;
}
#endif

} // namespace

void PageScanner::collect(qsizetype end)
{
    const char *p = m_page.data();
    const qsizetype size = m_page.size();
    const qsizetype stop = std::min(end, size - kShortestMatch + 1);

    // A candidate is checked a word at a time: the letters are folded to lower case by setting
    // their 0x20 bit, the rest compares exactly. Little-endian words of the expected text:
    static constexpr quint64 kLetters8 = 0x2020'0000'2020'2020ULL; // "href" _ _ and two scheme letters
    static constexpr quint32 kFtpTail = 0x2f2f'3a70U;               // "p://"
    static constexpr quint32 kFtpTailLetters = 0x0000'0020U;
    static constexpr quint32 kHttpTail = 0x2f3a'7074U;              // "tp:/" (and "/" after it)
    static constexpr quint32 kHttpTailLetters = 0x0000'2020U;
    const auto head = [](char quote, char s0, char s1) {
        return quint64('h') | quint64('r') << 8 | quint64('e') << 16 | quint64('f') << 24 | quint64('=') << 32
            | quint64(static_cast<unsigned char>(quote)) << 40 | quint64(s0) << 48 | quint64(s1) << 56;
    };
    const quint64 heads[2][2] = {{head('"', 'f', 't'), head('\'', 'f', 't')}, {head('"', 'h', 't'), head('\'', 'h', 't')}};
    const auto consider = [&](qsizetype at) {
        quint64 word;
        quint32 tail;
        std::memcpy(&word, p + at, 8);
        std::memcpy(&tail, p + at + 8, 4);
        word |= kLetters8;
        for (const int kind : {Double, Single}) {
            if (word == heads[FTP][kind] && (tail | kFtpTailLetters) == kFtpTail) {
                m_matches[FTP][kind].push_back(at);
                return;
            }
            if (word == heads[HTTP][kind] && (tail | kHttpTailLetters) == kHttpTail && at + 13 <= size
                && p[at + 12] == '/') {
                m_matches[HTTP][kind].push_back(at);
                return;
            }
        }
    };

    qsizetype i = m_collected;
#if defined(__x86_64__) || defined(__i386__)
    if (hasAvx512())
        i = filterAvx512(p, i, stop, size, consider);
    else if (hasAvx2())
        i = filterAvx2(p, i, stop, size, consider);
#endif
#if defined(__SSE2__)
    i = filterBlocks(p, i, stop, size, masksSse2, consider);
#endif
    for (; i < stop; ++i) {
        if (p[i + 4] == '=')
            consider(i);
    }
    m_collected = std::max(end, m_collected);
}

void PageScanner::beginPass(Phase phase)
{
    m_phase = phase;
    m_cursor = 0;
    m_next = {};
}

void PageScanner::endPass()
{
    if (m_phase == Phase::FTP && m_mode == ParseAll) {
        beginPass(Phase::HTTP);
        return;
    }
    m_phase = Phase::Done;
    m_matches = {};
}

PageScanner::Step PageScanner::next(Link &link, qsizetype budget)
{
    for (;;) {
        switch (m_phase) {
        case Phase::Done:
            return Step::Done;
        case Phase::Collect:
            collect(std::min(m_page.size(), m_collected + std::max<qsizetype>(budget, 1)));
            if (m_collected < m_page.size())
                return Step::Pending;
            beginPass(m_mode == ParseHTTP ? Phase::HTTP : Phase::FTP);
            continue;
        case Phase::FTP:
        case Phase::HTTP:
            break;
        }

        const Scheme scheme = m_phase == Phase::FTP ? FTP : HTTP;
        if (m_linkStart < 0) {
            // Double-quoted matches first: a single-quoted one counts only once none is left.
            qsizetype at = -1;
            for (const Quote kind : {Double, Single}) {
                const std::vector<qsizetype> &matches = m_matches[scheme][kind];
                std::size_t &next = m_next[kind];
                while (next < matches.size() && matches[next] < m_cursor)
                    ++next;
                if (next < matches.size()) {
                    at = matches[next];
                    m_linkQuote = kind == Double ? '"' : '\'';
                    // The page was read long ago by collect(): fetch the links a few steps ahead.
                    if (next + kPrefetchDistance < matches.size()) {
                        const char *ahead = m_page.data() + matches[next + kPrefetchDistance];
                        __builtin_prefetch(ahead);
                        __builtin_prefetch(ahead + 64);
                    }
                    break;
                }
            }
            if (at < 0) {
                endPass();
                continue;
            }
            m_linkStart = m_linkSearched = at + kHrefSize;
            m_linkBytes = {};
        }
        const qsizetype until = std::min(m_page.size(), m_linkSearched + std::max<qsizetype>(budget, 1));
        if (!scanLink(m_page, m_linkSearched, until, m_linkQuote, m_linkBytes)) {
            m_linkSearched = until;
            if (until < m_page.size())
                return Step::Pending;
            // The rest of the page is inside that link: nothing after it can be told apart in this
            // pass. The other scheme's pass still reads the whole page.
            m_linkStart = -1;
            endPass();
            continue;
        }
        LinkBytes found = m_linkBytes;
        const qsizetype start = std::exchange(m_linkStart, -1);
        m_cursor = found.end + 1;
        link.text = m_page.sliced(start, found.end - start);
        if (found.percent) {
            link.text = UnescapeURL(link.text, m_buffer);
            found.control = HasControlCharacter(link.text);
            found.questionMark = link.text.contains('?');
        }
        link.isHTTP = scheme == HTTP;
        link.accepted = !found.control && (scheme == FTP || isHTTPFileLink(link.text, found.questionMark, m_words));
        return Step::Found;
    }
}
