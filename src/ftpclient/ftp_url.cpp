#include "ftpclient/ftp_url.h"

void ParseFTPURL(QByteArrayView url, QByteArray &user, QByteArray &password, QByteArray &host,
                 QByteArray &port, QByteArray &path, QByteArray &file)
{
    QByteArrayView s = url.size() > 6 ? url.sliced(6) : QByteArrayView();

    if (const qsizetype at = s.indexOf('@'); at >= 0) {
        const QByteArrayView login = s.first(at);
        s = s.sliced(at + 1);
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

    const qsizetype colon = s.indexOf(':');
    const qsizetype slash = s.indexOf('/');
    // A colon counts as the port separator only before the first "/" (or anywhere without one).
    if (colon >= 0 && (slash < 0 || colon < slash)) {
        host = s.first(colon).toByteArray();
        s = s.sliced(colon + 1);
        if (const qsizetype portEnd = s.indexOf('/'); portEnd >= 0) {
            port = s.first(portEnd).toByteArray();
            s = s.sliced(portEnd);
        } else {
            port = s.toByteArray();
            s = {};
        }
    } else {
        port = QByteArrayLiteral("21");
        host = (slash < 0 ? s : s.first(slash)).toByteArray();
        s = slash < 0 ? QByteArrayView() : s.sliced(slash);
    }

    // What is left is empty or begins with "/": the directories up to the last "/", then the file.
    if (s.isEmpty()) {
        path = QByteArrayLiteral("/");
        return;
    }
    const qsizetype lastSlash = s.lastIndexOf('/');
    path = s.first(lastSlash + 1).toByteArray();
    if (lastSlash + 1 < s.size())
        file = s.sliced(lastSlash + 1).toByteArray();
}

FtpLink ParseFTPURL(QByteArrayView url)
{
    FtpLink link;
    ParseFTPURL(url, link.user, link.password, link.host, link.port, link.path, link.file);
    return link;
}
