#include "platform/http_request.h"

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
