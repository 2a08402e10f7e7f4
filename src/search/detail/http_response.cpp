#include "search/detail/http_response.h"

#include "platform/byte_text.h"
#include "search/detail/query_url.h"

#include <algorithm>

namespace {

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() && text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

// The length of "http://" or "https://" at the start of `url` (any letter case), else 0.
qsizetype webSchemeLength(QByteArrayView url)
{
    if (startsWithNoCase(url, "http://"))
        return 7;
    if (startsWithNoCase(url, "https://"))
        return 8;
    return 0;
}

// Where the first of `bytes` lies in `text` from `from` on, or text's size.
qsizetype findAny(QByteArrayView text, QByteArrayView bytes, qsizetype from = 0)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (bytes.contains(text[i]))
            return i;
    }
    return text.size();
}

QByteArray resolveLocation(QByteArray location, QByteArrayView base)
{
    const qsizetype fragment = location.indexOf('#');
    if (fragment >= 0)
        location.truncate(fragment); // never sent
    // A blank would end the request line's address; any other control byte makes it unusable.
    location.replace(" ", "%20");
    if (location.isEmpty() || hasControlByte(location))
        return {};
    // An address that ends at its host, query or not, asks for "/": the host must end where the path starts.
    const auto withPath = [](QByteArray address, qsizetype hostStart) {
        const qsizetype hostEnd = findAny(address, "/?", hostStart);
        if (hostEnd == hostStart)
            return QByteArray(); // no host
        if (hostEnd == address.size() || address[hostEnd] == '?')
            address.insert(hostEnd, '/');
        return address;
    };
    if (const qsizetype scheme = webSchemeLength(location))
        return withPath(location, scheme);
    // The request's scheme and host.
    const QByteArray scheme = urlScheme(base).toByteArray();
    if (location.startsWith("//"))
        return withPath(scheme + ':' + location, scheme.size() + 3);
    const qsizetype host = hostStart(base);
    const qsizetype pathStart = findAny(base, "/?", host);
    const QByteArray origin = scheme + "://" + base.sliced(host, pathStart - host).toByteArray();
    if (location.startsWith('/'))
        return origin + location;
    // A scheme of its own ("ftp:", "javascript:") is not followed.
    if (findAny(location, ":") < findAny(location, "/?"))
        return {};
    QByteArrayView path = base.sliced(pathStart);
    if (const qsizetype query = path.indexOf('?'); query >= 0)
        path = path.first(query);
    // A new query for the same path.
    if (location.startsWith('?'))
        return origin + (path.isEmpty() ? QByteArray("/") : path.toByteArray()) + location;
    // Relative to the request's folder.
    const qsizetype lastSlash = path.lastIndexOf('/');
    return origin + (lastSlash < 0 ? QByteArray("/") : path.first(lastSlash + 1).toByteArray()) + location;
}

} // namespace

qsizetype headerEnd(QByteArrayView response)
{
    // Servers end lines with CR LF; a bare LF is taken too.
    for (qsizetype at = response.indexOf('\n'); at >= 0; at = response.indexOf('\n', at + 1)) {
        const qsizetype next = at + 1;
        if (next < response.size() && response[next] == '\n')
            return next + 1;
        if (next + 1 < response.size() && response[next] == '\r' && response[next + 1] == '\n')
            return next + 2;
    }
    return -1;
}

QByteArrayView statusLine(QByteArrayView response)
{
    if (!startsWithNoCase(response, "HTTP/"))
        return {};
    const qsizetype end = response.indexOf('\n');
    QByteArrayView line = end < 0 ? response : response.first(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

int statusCode(QByteArrayView statusLine)
{
    const qsizetype blank = statusLine.indexOf(' ');
    if (blank < 0 || statusLine.size() < blank + 4)
        return 0;
    int code = 0;
    for (char c : statusLine.sliced(blank + 1, 3)) {
        if (c < '0' || c > '9')
            return 0;
        code = code * 10 + (c - '0');
    }
    const bool endsThere = statusLine.size() == blank + 4 || statusLine[blank + 4] == ' ';
    return endsThere ? code : 0;
}

qsizetype expectedResponseSize(QByteArrayView response, qsizetype cap)
{
    const qsizetype end = headerEnd(response);
    if (end < 0)
        return -1;
    const QByteArray value = headerValue(response.first(end), "Content-Length").value_or(QByteArray());
    if (value.isEmpty())
        return -1;
    qsizetype length = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            break;
        length = length * 10 + (c - '0');
        if (length > cap)
            return cap;
    }
    return std::min(cap, end + length);
}

QByteArray redirectTarget(QByteArrayView response, QByteArrayView requestUrl)
{
    const qsizetype end = headerEnd(response);
    if (end < 0)
        return {};
    switch (statusCode(statusLine(response))) {
    case 301:
    case 302:
    case 303:
    case 307:
    case 308:
        break;
    default:
        return {};
    }
    return resolveLocation(headerValue(response.first(end), "Location").value_or(QByteArray()), requestUrl);
}
