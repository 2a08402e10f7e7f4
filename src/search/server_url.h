#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The pieces of a result link: the server URL (scheme, user, password, host, port), the directory
// path from the first "/" behind "://" up to and including the last "/", and the file name after
// it. Views into `link`.
struct SplitLink
{
    QByteArrayView server;
    QByteArrayView path;
    QByteArrayView file;
};
SplitLink SplitURL(QByteArrayView link);

// Host and port of a server URL. User and password before an "@" are dropped; the scheme is
// measured up to "://" in any letter case. A port that is not a number in 1..65535 is 21.
struct ServerAddress
{
    QByteArrayView host;
    int port = 21;
};
ServerAddress ParseServer(QByteArrayView server);

// What AddResult takes from a link: SplitURL's pieces and ParseServer's host of the server, found
// in one pass for the usual links ("ftp://" or "http://" and a host).
struct ResultLink
{
    SplitLink pieces;
    QByteArrayView host;
};
ResultLink SplitResultLink(QByteArrayView link);

inline constexpr int kDefaultFtpPort = 21;
