#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

inline constexpr int kHighestPort = 65535;

// A port as written behind a host: a whole number in 1..65535, or nothing.
std::optional<int> portNumber(QByteArrayView digits);

// Where to connect, as a user writes it for a proxy or a server: HOST:PORT.
struct Endpoint
{
    QByteArray host;
    int port = 0;
};
// HOST:PORT split at its last ":" (so "[::1]:8080" keeps its brackets), with a host and a port
// that portNumber() takes; or nothing.
std::optional<Endpoint> parseEndpoint(QByteArrayView text);
