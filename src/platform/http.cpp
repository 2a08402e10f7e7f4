#include "platform/http.h"

namespace {

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.chop(1);
    return text;
}

} // namespace

QByteArray http10Request(QByteArrayView target, QByteArrayView host, bool throughProxy, QByteArrayView userAgent)
{
    QByteArray request;
    request.reserve(target.size() + host.size() + 250);
    request += "GET " + target.toByteArray() + " HTTP/1.0\r\n";
    request += throughProxy ? "Proxy-Connection: close\r\n" : "Connection: close\r\n";
    request += "User-Agent: " + userAgent.toByteArray() + "\r\n";
    if (throughProxy)
        request += "Pragma: no-cache\r\n";
    request += "Host: " + host.toByteArray() + "\r\n";
    request += "Accept: */*\r\n";
    request += "Accept-Encoding: identity\r\n";
    request += "Accept-Language: en\r\n";
    request += "Accept-Charset: iso-8859-1,*,utf-8\r\n";
    request += "\r\n";
    return request;
}

std::optional<QByteArray> headerValue(QByteArrayView header, QByteArrayView name)
{
    qsizetype at = header.indexOf('\n');
    while (at >= 0) {
        const qsizetype start = at + 1;
        at = header.indexOf('\n', start);
        const QByteArrayView line = header.sliced(start, (at < 0 ? header.size() : at) - start);
        if (line.size() > name.size() && line[name.size()] == ':' && line.first(name.size()).compare(name, Qt::CaseInsensitive) == 0)
            return trimmed(line.sliced(name.size() + 1)).toByteArray();
    }
    return std::nullopt;
}
