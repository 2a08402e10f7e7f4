#include "search/query_url.h"

namespace {

constexpr int kHttpPort = 80;

qsizetype hostStart(QByteArrayView url)
{
    const qsizetype scheme = url.indexOf("://");
    return scheme < 0 ? 0 : scheme + 3;
}

} // namespace

QByteArray EncodeSearchText(const QString &searchText)
{
    qsizetype begin = 0;
    qsizetype end = searchText.size();
    while (begin < end && searchText[begin] == u' ')
        ++begin;
    while (end > begin && searchText[end - 1] == u' ')
        --end;
    QByteArray bytes = QStringView(searchText).mid(begin, end - begin).toUtf8();
    bytes.replace(' ', '+');
    return bytes;
}

QByteArray BuildQueryURL(QByteArrayView queryTemplate, QByteArrayView searchString)
{
    for (qsizetype p = 0; p + 1 < queryTemplate.size(); ++p) {
        if (queryTemplate[p] == '%' && (queryTemplate[p + 1] == 's' || queryTemplate[p + 1] == 'S')) {
            QByteArray url;
            url.reserve(queryTemplate.size() + searchString.size());
            url.append(queryTemplate.first(p));
            url.append(searchString);
            url.append(queryTemplate.sliced(p + 2));
            return url;
        }
    }
    return {};
}

QByteArrayView URLHost(QByteArrayView url)
{
    const QByteArrayView rest = url.sliced(hostStart(url));
    const qsizetype slash = rest.indexOf('/');
    return slash < 0 ? rest : rest.first(slash);
}

QByteArrayView StripPort(QByteArrayView host)
{
    const qsizetype colon = host.indexOf(':');
    return colon < 0 ? host : host.first(colon);
}

FetchTarget fetchTarget(QByteArrayView url)
{
    const QByteArrayView host = URLHost(url);
    FetchTarget target;
    target.host = StripPort(host).toByteArray();
    const qsizetype colon = host.indexOf(':');
    if (colon >= 0) {
        bool ok = false;
        const int port = host.sliced(colon + 1).toByteArray().toInt(&ok);
        target.port = ok && port >= 1 && port <= 65535 ? port : 0;
    } else {
        target.port = kHttpPort;
    }
    return target;
}

QByteArray pageRequest(QByteArrayView url, bool throughProxy)
{
    const QByteArrayView host = StripPort(URLHost(url));
    QByteArray request;
    request.reserve(url.size() + 300);
    if (throughProxy) {
        request += "GET " + url.toByteArray() + " HTTP/1.0\r\n";
        request += "Proxy-Connection: close\r\n";
        request += "User-Agent: Kestrune [en] (Win98; U)\r\n";
        request += "Pragma: no-cache\r\n";
    } else {
        // Everything behind the host; a URL that ends at its host asks for "/".
        const qsizetype slash = url.indexOf('/', hostStart(url));
        const QByteArrayView path = slash < 0 ? QByteArrayView("/") : url.sliced(slash);
        request += "GET " + path.toByteArray() + " HTTP/1.0\r\n";
        request += "Connection: close\r\n";
        request += "User-Agent: Kestrune [en] (Win98; U)\r\n";
    }
    request += "Host: " + host.toByteArray() + "\r\n";
    request += "Accept: */*\r\n";
    request += "Accept-Encoding: identity\r\n";
    request += "Accept-Language: en\r\n";
    request += "Accept-Charset: iso-8859-1,*,utf-8\r\n";
    request += "\r\n";
    return request;
}
