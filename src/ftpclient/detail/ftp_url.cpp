#include "ftpclient/detail/ftp_url.h"

#include "search/server_url.h"

void ParseFTPURL(QByteArrayView url, QByteArray &user, QByteArray &password, QByteArray &host,
                 QByteArray &port, QByteArray &path, QByteArray &file)
{
    const QByteArrayView s = url.size() > 6 ? url.sliced(6) : QByteArrayView();
    const qsizetype slash = s.indexOf('/');
    QByteArrayView authority = slash < 0 ? s : s.first(slash);
    const QByteArrayView rest = slash < 0 ? QByteArrayView() : s.sliced(slash);

    // The login ends at the last "@" before the first "/": an "@" further on belongs to a name in
    // the path, and one inside the login is part of a password that the page had escaped.
    if (const qsizetype at = authority.lastIndexOf('@'); at >= 0) {
        const QByteArrayView login = authority.first(at);
        authority = authority.sliced(at + 1);
        if (const qsizetype colon = login.indexOf(':'); colon >= 0) {
            user = login.first(colon).toByteArray();
            password = login.sliced(colon + 1).toByteArray();
        } else {
            user = login.toByteArray();
            password = kDefaultFtpPassword.toByteArray();
        }
    } else {
        user = QByteArrayLiteral("anonymous");
        password = kDefaultFtpPassword.toByteArray();
    }

    const HostAndPort server = SplitHostAndPort(authority);
    host = server.host.toByteArray();
    port = server.port ? server.port->toByteArray() : QByteArrayLiteral("21");

    // What is left is empty or begins with "/": the directories up to the last "/", then the file.
    if (rest.isEmpty()) {
        path = QByteArrayLiteral("/");
        return;
    }
    const qsizetype lastSlash = rest.lastIndexOf('/');
    path = rest.first(lastSlash + 1).toByteArray();
    if (lastSlash + 1 < rest.size())
        file = rest.sliced(lastSlash + 1).toByteArray();
}

FtpLink ParseFTPURL(QByteArrayView url)
{
    FtpLink link;
    ParseFTPURL(url, link.user, link.password, link.host, link.port, link.path, link.file);
    return link;
}
