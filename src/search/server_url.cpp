#include "search/server_url.h"

#include "platform/endpoint.h"
#include "search/detail/byte_scan.h"

namespace {

using byteScan::findByte;
using byteScan::findLastByte;

qsizetype findSchemeEnd(QByteArrayView text)
{
    for (qsizetype colon = findByte(text, ':', 0); colon >= 0; colon = findByte(text, ':', colon + 1)) {
        if (colon + 2 < text.size() && text[colon + 1] == '/' && text[colon + 2] == '/')
            return colon;
    }
    return -1;
}

// The pieces of `link` whose server ends at `slash` (-1: the link is all server).
SplitLink splitAt(QByteArrayView link, qsizetype slash)
{
    SplitLink pieces;
    pieces.server = slash < 0 ? link : link.first(slash);
    if (slash >= 0) {
        const QByteArrayView rest = link.sliced(slash);
        const qsizetype pathSize = findLastByte(rest, '/') + 1;
        pieces.path = rest.first(pathSize);
        pieces.file = rest.sliced(pathSize);
    }
    return pieces;
}

SplitLink SplitURL(QByteArrayView link)
{
    const qsizetype scheme = findSchemeEnd(link);
    return splitAt(link, findByte(link, '/', scheme < 0 ? 2 : scheme + 3));
}

} // namespace

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
    if (split.port)
        address.port = portNumber(*split.port).value_or(kDefaultFtpPort);
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
    const auto [slash, at] = byteScan::findServerEnd(link, from);

    ResultLink result{splitAt(link, slash), {}};
    result.host = SplitHostAndPort(result.pieces.server.sliced(at >= 0 ? at + 1 : from)).host;
    return result;
}
