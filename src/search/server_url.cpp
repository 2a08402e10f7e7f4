#include "search/server_url.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The first `c` at or after `from`. Runs once or twice per link of a crawl, so it compares 16
// bytes at a time inline instead of calling the C library.
qsizetype findByte(QByteArrayView text, char c, qsizetype from)
{
    const char *p = text.data();
    const qsizetype size = text.size();
    qsizetype i = from;
#if defined(__SSE2__)
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
#endif
    for (; i < size; ++i) {
        if (p[i] == c)
            return i;
    }
    return -1;
}

qsizetype findLastByte(QByteArrayView text, char c)
{
    const char *p = text.data();
    qsizetype i = text.size();
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (; i >= 16; i -= 16) {
        const auto m = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i - 16)), wanted)));
        if (m)
            return i - 16 + (31 - __builtin_clz(m));
    }
#endif
    while (i > 0) {
        if (p[--i] == c)
            return i;
    }
    return -1;
}

qsizetype findSchemeEnd(QByteArrayView text)
{
    for (qsizetype colon = findByte(text, ':', 0); colon >= 0; colon = findByte(text, ':', colon + 1)) {
        if (colon + 2 < text.size() && text[colon + 1] == '/' && text[colon + 2] == '/')
            return colon;
    }
    return -1;
}

} // namespace

SplitLink SplitURL(QByteArrayView link)
{
    const qsizetype scheme = findSchemeEnd(link);
    const qsizetype slash = findByte(link, '/', scheme < 0 ? 2 : scheme + 3);
    SplitLink pieces;
    if (slash < 0) {
        pieces.server = link;
        return pieces;
    }
    pieces.server = link.first(slash);
    const QByteArrayView rest = link.sliced(slash);
    const qsizetype pathSize = findLastByte(rest, '/') + 1;
    pieces.path = rest.first(pathSize);
    pieces.file = rest.sliced(pathSize);
    return pieces;
}

HostAndPort SplitHostAndPort(QByteArrayView hostPort)
{
    qsizetype hostEnd = 0;
    if (!hostPort.isEmpty() && hostPort.front() == '[') {
        // An IPv6 literal: its colons belong to the host.
        hostEnd = findByte(hostPort, ']', 1);
        if (hostEnd < 0)
            return {hostPort, std::nullopt};
    }
    const qsizetype colon = findByte(hostPort, ':', hostEnd);
    if (colon < 0)
        return {hostPort, std::nullopt};
    return {hostPort.first(colon), hostPort.sliced(colon + 1)};
}

ServerAddress ParseServer(QByteArrayView server)
{
    const qsizetype scheme = findSchemeEnd(server);
    QByteArrayView h = scheme >= 0 ? server.sliced(scheme + 3) : server;
    // The last "@": a password that the page escaped may hold one once it is unescaped.
    if (const qsizetype at = findLastByte(h, '@'); at >= 0)
        h = h.sliced(at + 1);
    const HostAndPort split = SplitHostAndPort(h);
    ServerAddress address;
    address.host = split.host;
    if (split.port) {
        bool ok = false;
        const int port = QByteArray::fromRawData(split.port->data(), split.port->size()).toInt(&ok);
        address.port = ok && port >= 1 && port <= 65535 ? port : kDefaultFtpPort;
    }
    return address;
}

QByteArrayView Unbracketed(QByteArrayView host)
{
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.sliced(1, host.size() - 2);
    return host;
}

namespace {

// The length of a leading scheme of letters followed by "://" (the "ftp" of "ftp://"), or 0.
qsizetype letterScheme(QByteArrayView link)
{
    qsizetype k = 0;
    while (k < link.size() && k < 8 && static_cast<unsigned char>((link[k] | 0x20) - 'a') < 26)
        ++k;
    return k > 0 && k + 2 < link.size() && link[k] == ':' && link[k + 1] == '/' && link[k + 2] == '/' ? k : 0;
}

} // namespace

ResultLink SplitResultLink(QByteArrayView link)
{
    const qsizetype scheme = letterScheme(link);
    if (scheme == 0) {
        ResultLink result{SplitURL(link), {}};
        result.host = ParseServer(result.pieces.server).host;
        return result;
    }
    // Behind "scheme://" the server ends at the first "/"; the host starts behind the last "@"
    // before that, if any.
    const qsizetype from = scheme + 3;
    const char *p = link.data();
    const qsizetype size = link.size();
    qsizetype slash = -1;
    qsizetype at = -1;
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i slashes = _mm_set1_epi8('/');
    const __m128i ats = _mm_set1_epi8('@');
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const auto slashMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, slashes)));
        auto atMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, ats)));
        if (slashMask != 0)
            atMask &= (slashMask & (0u - slashMask)) - 1;
        if (atMask != 0)
            at = i + (31 - __builtin_clz(atMask));
        if (slashMask != 0) {
            slash = i + __builtin_ctz(slashMask);
            break;
        }
    }
#endif
    if (slash < 0) {
        for (; i < size; ++i) {
            if (p[i] == '/') {
                slash = i;
                break;
            }
            if (p[i] == '@')
                at = i;
        }
    }

    ResultLink result;
    SplitLink &pieces = result.pieces;
    pieces.server = slash < 0 ? link : link.first(slash);
    if (slash >= 0) {
        const QByteArrayView rest = link.sliced(slash);
        const qsizetype pathSize = findLastByte(rest, '/') + 1;
        pieces.path = rest.first(pathSize);
        pieces.file = rest.sliced(pathSize);
    }
    result.host = SplitHostAndPort(pieces.server.sliced(at >= 0 ? at + 1 : from)).host;
    return result;
}
