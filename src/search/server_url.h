#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The pieces of a result link: the server URL (scheme, user, password, host, port), the directory
// path from the first "/" behind "://" up to and including the last "/", and the file name after
// it. Views into the link. Without "://" the server ends at the first "/" from the third
// character on.
struct SplitLink
{
    QByteArrayView server;
    QByteArrayView path;
    QByteArrayView file;
};

// A server's "host" or "host:port", the login already taken off: the host ends at the first ":",
// except that in a host that begins with "[" (an IPv6 literal, "[::1]:2121") the colons before the
// "]" are the host's, brackets and all; without a "]" the whole text is the host. No port text
// when no such ":" follows.
struct HostAndPort
{
    QByteArrayView host;
    std::optional<QByteArrayView> port;
};
HostAndPort SplitHostAndPort(QByteArrayView hostPort);

// Host and port of a server URL. The scheme is measured up to "://" in any letter case; user and
// password up to the last "@" are dropped. A port that is not a number in 1..65535 is 21.
struct ServerAddress
{
    QByteArrayView host;
    int port = 21;
};
ServerAddress ParseServer(QByteArrayView server);

// The address to connect to: a bracketed IPv6 literal without its brackets, any other host as it is.
QByteArrayView Unbracketed(QByteArrayView host);

// What AddResult takes from a link: its pieces and ParseServer's host of its server, found in one
// pass for the usual links ("ftp://" or "http://" and a host).
struct ResultLink
{
    SplitLink pieces;
    QByteArrayView host;
};
ResultLink SplitResultLink(QByteArrayView link);

inline constexpr int kDefaultFtpPort = 21;
