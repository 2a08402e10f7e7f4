#include "platform/endpoint.h"

std::optional<int> portNumber(QByteArrayView digits)
{
    bool ok = false;
    const int port = digits.toInt(&ok);
    if (!ok || port < 1 || port > kHighestPort)
        return std::nullopt;
    return port;
}

std::optional<Endpoint> parseEndpoint(QByteArrayView text)
{
    const qsizetype colon = text.lastIndexOf(':');
    if (colon <= 0)
        return std::nullopt;
    const auto port = portNumber(text.sliced(colon + 1));
    if (!port)
        return std::nullopt;
    return Endpoint{text.first(colon).toByteArray(), *port};
}
