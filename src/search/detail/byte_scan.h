#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The byte-scanning primitives of the search, and the only place that holds vector code. Each
// primitive has a plain version, the reference that the vector ones are tested against. The small
// ones are inline templates on the path (they run once or more per link, where a call would
// cost as much as the work); the page sweep, which needs the processor's widest path, is chosen
// at run time.
namespace byteScan {

enum class Path { Plain, Sse2, Avx2, Avx512 };

// The path the inline primitives take in this build.
#if defined(__SSE2__)
inline constexpr Path kInline = Path::Sse2;
#else
inline constexpr Path kInline = Path::Plain;
#endif

// Whether this build and processor can run `path` (the environment switches aside).
bool canRun(Path path);
// The widest path the page sweep takes: KESTRUNE_NO_AVX512 and KESTRUNE_NO_AVX2 rule out a path,
// for comparing them on one machine.
Path sweepPath();

// The first `c` at or after `from`, or -1. Runs once or twice per link of a crawl, which is why
// it is inline rather than a call into the C library.
template<Path path = kInline>
inline qsizetype findByte(QByteArrayView text, char c, qsizetype from)
{
    const char *p = text.data();
    const qsizetype size = text.size();
    qsizetype i = from;
#if defined(__SSE2__)
    if constexpr (path != Path::Plain) {
        const __m128i wanted = _mm_set1_epi8(c);
        const auto match = [&](qsizetype at) {
            return static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + at)), wanted)));
        };
        for (; i + 16 <= size; i += 16) {
            if (const unsigned m = match(i))
                return i + __builtin_ctz(m);
        }
        // The rest in one block that overlaps the ones before: no match lies before `i` in it.
        if (i < size && size >= 16 && from <= size - 16) {
            const unsigned m = match(size - 16);
            return m ? size - 16 + __builtin_ctz(m) : -1;
        }
    }
#endif
    for (; i < size; ++i) {
        if (p[i] == c)
            return i;
    }
    return -1;
}

// The last `c`, or -1.
template<Path path = kInline>
inline qsizetype findLastByte(QByteArrayView text, char c)
{
    const char *p = text.data();
    qsizetype i = text.size();
#if defined(__SSE2__)
    if constexpr (path != Path::Plain) {
        const __m128i wanted = _mm_set1_epi8(c);
        for (; i >= 16; i -= 16) {
            const auto m = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i - 16)), wanted)));
            if (m)
                return i - 16 + (31 - __builtin_clz(m));
        }
    }
#endif
    while (i > 0) {
        if (p[--i] == c)
            return i;
    }
    return -1;
}

// Where the server of a link ends: the first "/" at or after `from`, and the last "@" between
// `from` and that "/" (or the end); -1 for none.
struct ServerEnd
{
    qsizetype slash = -1;
    qsizetype at = -1;
};

template<Path path = kInline>
inline ServerEnd findServerEnd(QByteArrayView text, qsizetype from)
{
    const char *p = text.data();
    const qsizetype size = text.size();
    ServerEnd found;
    qsizetype i = from;
#if defined(__SSE2__)
    if constexpr (path != Path::Plain) {
        const __m128i slashes = _mm_set1_epi8('/');
        const __m128i ats = _mm_set1_epi8('@');
        for (; i + 16 <= size; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
            const auto slashMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, slashes)));
            auto atMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, ats)));
            if (slashMask != 0)
                atMask &= (slashMask & (0u - slashMask)) - 1;
            if (atMask != 0)
                found.at = i + (31 - __builtin_clz(atMask));
            if (slashMask != 0) {
                found.slash = i + __builtin_ctz(slashMask);
                return found;
            }
        }
    }
#endif
    for (; i < size; ++i) {
        if (p[i] == '/') {
            found.slash = i;
            break;
        }
        if (p[i] == '@')
            found.at = i;
    }
    return found;
}

inline bool isControl(unsigned char c)
{
    return c < 32 || c == 127;
}

// Any byte below 32, or 127.
template<Path path = kInline>
inline bool hasControlCharacter(QByteArrayView s)
{
    const auto *p = reinterpret_cast<const unsigned char *>(s.data());
    const qsizetype n = s.size();
    qsizetype i = 0;
#if defined(__SSE2__)
    if constexpr (path != Path::Plain) {
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
    }
#endif
    for (; i < n; ++i) {
        if (isControl(p[i]))
            return true;
    }
    return false;
}

// What the bytes of a link hold, learnt while its closing quote is looked for.
struct LinkBytes
{
    qsizetype end = -1; // the closing quote, -1 until it is found
    bool percent = false;
    bool control = false;
    bool questionMark = false;
};

inline void noteByte(LinkBytes &found, unsigned char c)
{
    found.percent |= c == '%';
    found.control |= isControl(c);
    found.questionMark |= c == '?';
}

// Looks for the closing quote in [from, until) and notes on the way what the link holds before
// it; true when found.
template<Path path = kInline>
inline bool scanLink(QByteArrayView page, qsizetype from, qsizetype until, char quote, LinkBytes &found)
{
    const auto *p = reinterpret_cast<const unsigned char *>(page.data());
    qsizetype i = from;
#if defined(__SSE2__)
    if constexpr (path != Path::Plain) {
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

// Equality and copy of 16 to 32 bytes as two blocks of 16, one at the start and one at the end,
// that overlap unless `n` is 32.
template<Path path = kInline>
inline bool sameEnds16(const char *a, const char *b, qsizetype n)
{
#if defined(__SSE2__)
    if constexpr (path != Path::Plain) {
        const auto load = [](const char *at) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at)); };
        const __m128i same =
            _mm_and_si128(_mm_cmpeq_epi8(load(a), load(b)), _mm_cmpeq_epi8(load(a + n - 16), load(b + n - 16)));
        return _mm_movemask_epi8(same) == 0xffff;
    }
#endif
    return std::memcmp(a, b, static_cast<std::size_t>(n)) == 0;
}

template<Path path = kInline>
inline void copyEnds16(char *to, const char *from, qsizetype n)
{
#if defined(__SSE2__)
    if constexpr (path != Path::Plain) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + n - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to), head);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + n - 16), tail);
        return;
    }
#endif
    std::memcpy(to, from, static_cast<std::size_t>(n));
}

// Bit k is set when four[k] equals `tag`.
template<Path path = kInline>
inline unsigned matchTags4(const quint32 *four, quint32 tag)
{
#if defined(__SSE2__)
    if constexpr (path != Path::Plain) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(four));
        const __m128i same = _mm_cmpeq_epi32(v, _mm_set1_epi32(static_cast<int>(tag)));
        return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(same)));
    }
#endif
    unsigned mask = 0;
    for (int k = 0; k < 4; ++k)
        mask |= unsigned(four[k] == tag) << k;
    return mask;
}

// The page sweep looks for `href=<quote><scheme>` by the characters that stand at fixed offsets
// in every match: "h" (or "H") at 0, "=" at 4, a quote at 5, "f" or "h" (either case) at 6. It
// marks, in 64-byte blocks, where all of them stand right; the caller checks those starts.
inline constexpr int kBlock = 64;
inline constexpr int kStretch = 64; // blocks marked by one call

// Marks the blocks at `at`, `at` + 64 ... of `page` (`size` bytes): bit k of starts[b] is set
// when a match may start at `at` + 64 * b + k. A block is marked only while it starts 64 bytes
// or more before `stop` and 128 bytes or more before the end, at most kStretch of them. Returns
// how many were marked.
int markHrefStarts(Path path, const char *page, qsizetype at, qsizetype stop, qsizetype size, quint64 *starts);

} // namespace byteScan
