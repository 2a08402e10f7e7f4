#include "search/server_url.h"

SplitLink SplitURL(QByteArrayView link)
{
    const qsizetype scheme = link.indexOf("://");
    const qsizetype from = scheme < 0 ? 2 : scheme + 3;
    const qsizetype slash = from < link.size() ? link.indexOf('/', from) : -1;
    SplitLink pieces;
    if (slash < 0) {
        pieces.server = link;
        return pieces;
    }
    pieces.server = link.first(slash);
    const QByteArrayView rest = link.sliced(slash);
    const qsizetype last = rest.lastIndexOf('/');
    pieces.path = rest.first(last + 1);
    pieces.file = rest.sliced(last + 1);
    return pieces;
}

ServerAddress ParseServer(QByteArrayView server)
{
    QByteArrayView h;
    if (const qsizetype at = server.indexOf('@'); at >= 0) {
        h = server.sliced(at + 1);
    } else if (const qsizetype scheme = server.indexOf("://"); scheme >= 0) {
        h = server.sliced(scheme + 3);
    } else {
        h = server;
    }
    ServerAddress address;
    const qsizetype colon = h.indexOf(':');
    if (colon < 0) {
        address.host = h;
        return address;
    }
    address.host = h.first(colon);
    bool ok = false;
    const int port = QByteArray::fromRawData(h.data() + colon + 1, h.size() - colon - 1).toInt(&ok);
    address.port = ok && port >= 1 && port <= 65535 ? port : kDefaultFtpPort;
    return address;
}
