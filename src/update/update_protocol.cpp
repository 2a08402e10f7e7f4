#include "update/update_protocol.h"

#include "platform/http_request.h"

namespace {

constexpr QByteArrayView kHeaderEnd = "\r\n\r\n";
constexpr QByteArrayView kContentLength = "content-length:";

// The first `name` at the start of a header line, ignoring letter case.
qsizetype headerLine(QByteArrayView header, QByteArrayView name)
{
    for (qsizetype at = 0; at + name.size() <= header.size();) {
        if (QByteArrayView(header.sliced(at, name.size())).compare(name, Qt::CaseInsensitive) == 0)
            return at;
        const qsizetype lf = header.indexOf('\n', at);
        if (lf < 0)
            break;
        at = lf + 1;
    }
    return -1;
}

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
    const qsizetype colon = text.lastIndexOf(':');
    if (colon <= 0)
        return std::nullopt;
    bool ok = false;
    const int port = text.sliced(colon + 1).toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return std::nullopt;
    return UpdateServer{text.first(colon).toByteArray(), port};
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
    const QByteArrayView lines = received.first(headerEnd + 2);
    const qsizetype name = headerLine(lines, kContentLength);
    if (name < 0)
        return header;
    const qsizetype valueStart = name + kContentLength.size();
    const QByteArrayView value = lines.sliced(valueStart, lines.indexOf('\n', valueStart) - valueStart);
    bool ok = false;
    header.length = value.trimmed().toLongLong(&ok);
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
