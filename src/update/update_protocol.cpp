#include "update/update_protocol.h"

#include "platform/endpoint.h"
#include "platform/http.h"

namespace {

constexpr QByteArrayView kHeaderEnd = "\r\n\r\n";

} // namespace

QByteArray requestName(UpdateMode mode)
{
    switch (mode) {
    case UpdateMode::Version:
        return "searchup.cgi";
    case UpdateMode::Engines:
        return "enginesup.cgi";
    case UpdateMode::Clients:
        return "clients.txt";
    case UpdateMode::None:
        break;
    }
    return {};
}

std::optional<UpdateServer> UpdateServer::fromText(QByteArrayView text)
{
    const auto endpoint = parseEndpoint(text);
    if (!endpoint)
        return std::nullopt;
    return UpdateServer{endpoint->host, endpoint->port};
}

QByteArray updateRequest(const UpdateServer &server, UpdateMode mode, bool throughProxy)
{
    const QByteArray path = "/~quenmar/cgi-bin/" + requestName(mode);
    if (!throughProxy)
        return http10Request(path, server.host, false, "Holmvane [en] (Win98; U)");
    const QByteArray port = server.port == 80 ? QByteArray() : ':' + QByteArray::number(server.port);
    return http10Request("http://" + server.host + port + path, server.host, true, "Holmvane [en] (Win98; U)");
}

std::optional<ResponseHeader> readResponseHeader(QByteArrayView received)
{
    const qsizetype headerEnd = received.indexOf(kHeaderEnd);
    if (headerEnd < 0)
        return std::nullopt;
    ResponseHeader header{.bodyStart = headerEnd + kHeaderEnd.size()};
    const auto value = headerValue(received.first(headerEnd), "Content-Length");
    if (!value)
        return header;
    bool ok = false;
    header.length = value->toLongLong(&ok);
    header.badLength = !ok || header.length < 0;
    if (header.badLength)
        header.length = -1;
    return header;
}

Reception receptionState(const ResponseHeader &header, qsizetype receivedBytes)
{
    if (header.badLength)
        return Reception::BadLength;
    if (header.length >= 0 && receivedBytes - header.bodyStart >= header.length)
        return Reception::Complete;
    return Reception::Incomplete;
}
