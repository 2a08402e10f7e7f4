#include "search/detail/query_url.h"

#include "platform/byte_text.h"
#include "platform/endpoint.h"
#include "platform/http.h"

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
        target.port = portNumber(host.sliced(colon + 1)).value_or(0);
    } else {
        target.port = target.tls ? kHttpsPort : kHttpPort;
    }
    return target;
}

QByteArray pageRequest(QByteArrayView url, bool throughProxy)
{
    // Everything behind the host; a URL that ends at its host asks for "/".
    const qsizetype slash = url.indexOf('/', hostStart(url));
    const QByteArrayView target = throughProxy ? url : slash < 0 ? QByteArrayView("/") : url.sliced(slash);
    return http10Request(target, StripPort(URLHost(url)), throughProxy, "Kestrune [en] (Win98; U)");
}

QByteArray tunnelRequest(const FetchTarget &target)
{
    const QByteArray endpoint = target.host + ':' + QByteArray::number(target.port);
    return "CONNECT " + endpoint + " HTTP/1.0\r\nHost: " + endpoint + "\r\n\r\n";
}
