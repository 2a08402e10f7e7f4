#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The anonymous-FTP password used when a link names none.
inline constexpr QByteArrayView kDefaultFtpPassword = "kestrune@example.org";

// Splits an "ftp://" link into its login, server and file pieces, filling in the anonymous
// defaults (user "anonymous", kDefaultFtpPassword, port "21", path "/"). The first six
// characters are taken as the scheme without looking at them (the hand-off checks them). The
// server part runs to the first "/" behind them; in it the login ends at the last "@", and the
// user at the first ":" of the login. Host and port are split as SplitHostAndPort does: the
// colons of a bracketed IPv6 literal ("[::1]:2121") are the host's, and it keeps its brackets.
// Nothing is decoded or checked: the port is whatever text stands there. `file` is left as it
// was when the link names no file.
void ParseFTPURL(QByteArrayView url, QByteArray &user, QByteArray &password, QByteArray &host,
                 QByteArray &port, QByteArray &path, QByteArray &file);

// The six pieces at once; `file` is empty when the link names no file.
struct FtpLink
{
    QByteArray user;
    QByteArray password;
    QByteArray host;
    QByteArray port;
    QByteArray path;
    QByteArray file;

    friend bool operator==(const FtpLink &, const FtpLink &) = default;
};
FtpLink ParseFTPURL(QByteArrayView url);
