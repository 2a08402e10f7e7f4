#include "search/detail/byte_scan.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KESTRUNE_X86 1
#endif

namespace byteScan {

namespace {

constexpr qsizetype kSweepAhead = 4096;

// Where each character of a match stands in a block, one bit per byte.
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

// Each byte is loaded once: the masks are shifted, not the data.
template<typename Masks>
__attribute__((always_inline)) inline int markBlocks(const char *p, qsizetype i, qsizetype stop, qsizetype size,
                                                     quint64 *starts, Masks &&masks)
{
    // Every block starts 64 bytes or more before `stop` and has a whole block behind it.
    const qsizetype fit = std::min((stop - i) / kBlock, (size - i) / kBlock - 1);
    if (fit <= 0)
        return 0;
    const int blocks = static_cast<int>(std::min<qsizetype>(fit, kStretch));
    BlockMasks block = masks(p + i);
    for (int b = 0; b < blocks; ++b, i += kBlock) {
        // The hardware alone does not read far enough ahead to keep the sweep fed.
        if (i + kBlock + kSweepAhead < size)
            __builtin_prefetch(p + i + kBlock + kSweepAhead);
        const BlockMasks next = masks(p + i + kBlock);
        starts[b] = candidates(block, next);
        block = next;
    }
    return blocks;
}

BlockMasks masksPlain(const char *p)
{
    BlockMasks m;
    for (int k = 0; k < kBlock; ++k) {
        const auto c = static_cast<unsigned char>(p[k]);
        const unsigned folded = c | 0x20u;
        const quint64 bit = quint64(1) << k;
        m.h |= folded == 'h' ? bit : 0;
        m.equals |= c == '=' ? bit : 0;
        m.quote |= c == '"' || c == '\'' ? bit : 0;
        m.scheme |= folded == 'h' || folded == 'f' ? bit : 0;
    }
    return m;
}

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

#if defined(KESTRUNE_X86)
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

__attribute__((target("avx2"))) int markAvx2(const char *p, qsizetype i, qsizetype stop, qsizetype size,
                                             quint64 *starts)
{
    return markBlocks(p, i, stop, size, starts, masksAvx2);
}

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

__attribute__((target("avx512f,avx512bw"))) int markAvx512(const char *p, qsizetype i, qsizetype stop,
                                                           qsizetype size, quint64 *starts)
{
    return markBlocks(p, i, stop, size, starts, masksAvx512);
}
#endif

} // namespace

bool canRun(Path path)
{
    switch (path) {
    case Path::Plain:
        return true;
    case Path::Sse2:
#if defined(__SSE2__)
        return true;
#else
        return false;
#endif
#if defined(KESTRUNE_X86)
    case Path::Avx2:
        return __builtin_cpu_supports("avx2");
    case Path::Avx512:
        return __builtin_cpu_supports("avx512bw");
#else
    case Path::Avx2:
    case Path::Avx512:
        return false;
#endif
    }
    return false;
}

Path sweepPath()
{
    static const Path path = [] {
        if (canRun(Path::Avx512) && !qEnvironmentVariableIsSet("KESTRUNE_NO_AVX512"))
            return Path::Avx512;
        if (canRun(Path::Avx2) && !qEnvironmentVariableIsSet("KESTRUNE_NO_AVX2"))
            return Path::Avx2;
        return canRun(Path::Sse2) ? Path::Sse2 : Path::Plain;
    }();
    return path;
}

int markHrefStarts(Path path, const char *page, qsizetype at, qsizetype stop, qsizetype size, quint64 *starts)
{
    switch (path) {
#if defined(KESTRUNE_X86)
    case Path::Avx512:
        return markAvx512(page, at, stop, size, starts);
    case Path::Avx2:
        return markAvx2(page, at, stop, size, starts);
#endif
#if defined(__SSE2__)
    case Path::Sse2:
        return markBlocks(page, at, stop, size, starts, masksSse2);
#endif
    default:
        return markBlocks(page, at, stop, size, starts, masksPlain);
    }
}

} // namespace byteScan
