#include "search/detail/query_url.h"

#include "platform/byte_text.h"

namespace {

constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;

// The host part of a URL (behind "://" up to the first "/"), port included.
QByteArrayView URLHost(QByteArrayView url)
{
    const QByteArrayView rest = url.sliced(hostStart(url));
    const qsizetype slash = rest.indexOf('/');
    return slash < 0 ? rest : rest.first(slash);
}

// The host without a ":port".
QByteArrayView StripPort(QByteArrayView host)
{
    const qsizetype colon = host.indexOf(':');
    return colon < 0 ? host : host.first(colon);
}

} // namespace

qsizetype hostStart(QByteArrayView url)
{
    const qsizetype scheme = url.indexOf("://");
    return scheme < 0 ? 0 : scheme + 3;
}

QByteArrayView urlScheme(QByteArrayView url)
{
    const qsizetype scheme = url.indexOf("://");
    return scheme < 0 ? QByteArrayView("http") : url.first(scheme);
}

QByteArray EncodeSearchText(const QString &searchText)
{
    // A control character (a pasted line break or tab) counts as a blank: sent as it is, it would
    // break the request line.
    QByteArray bytes = searchText.toUtf8();
    for (char &c : bytes) {
        if (isControlByte(c))
            c = ' ';
    }
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && bytes[begin] == ' ')
        ++begin;
    while (end > begin && bytes[end - 1] == ' ')
        --end;
    bytes = bytes.sliced(begin, end - begin);
    bytes.replace(' ', '+');
    return bytes;
}

QByteArray BuildQueryURL(QByteArrayView queryTemplate, QByteArrayView searchString)
{
    const qsizetype p = indexOfPercentS(queryTemplate);
    if (p < 0)
        return {};
    QByteArray url;
    url.reserve(queryTemplate.size() + searchString.size());
    url.append(queryTemplate.first(p));
    url.append(searchString);
    url.append(queryTemplate.sliced(p + 2));
    return url;
}

FetchTarget fetchTarget(QByteArrayView url)
{
    const QByteArrayView host = URLHost(url);
    FetchTarget target;
    target.host = StripPort(host).toByteArray();
    const QByteArrayView scheme = urlScheme(url);
    target.tls = scheme.compare("https", Qt::CaseInsensitive) == 0;
    target.knownScheme = target.tls || scheme.compare("http", Qt::CaseInsensitive) == 0;
    const qsizetype colon = host.indexOf(':');
    if (!target.knownScheme) {
        target.port = 0;
    } else if (colon >= 0) {
        bool ok = false;
        const int port = host.sliced(colon + 1).toByteArray().toInt(&ok);
        target.port = ok && port >= 1 && port <= 65535 ? port : 0;
    } else {
        target.port = target.tls ? kHttpsPort : kHttpPort;
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

QByteArray tunnelRequest(const FetchTarget &target)
{
    const QByteArray endpoint = target.host + ':' + QByteArray::number(target.port);
    return "CONNECT " + endpoint + " HTTP/1.0\r\nHost: " + endpoint + "\r\n\r\n";
}
