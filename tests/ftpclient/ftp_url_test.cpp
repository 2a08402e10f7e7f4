#include "ftpclient/ftp_url.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

// gtest finds this next to FtpLink, in the global namespace.
void PrintTo(const FtpLink &l, std::ostream *out)
{
    *out << l.user.toStdString() << " | " << l.password.toStdString() << " | " << l.host.toStdString()
         << " | " << l.port.toStdString() << " | " << l.path.toStdString() << " | " << l.file.toStdString();
}

namespace {

const QByteArray kAnon = "anonymous";
const QByteArray kDefault = kDefaultFtpPassword.toByteArray();

struct UrlCase
{
    const char *url;
    FtpLink expected;
};

TEST(ParseFtpUrl, SplitsLinksIntoTheirSixPieces)
{
    const UrlCase cases[] = {
        {"ftp://srv/pub/mp3/a.mp3", {kAnon, kDefault, "srv", "21", "/pub/mp3/", "a.mp3"}},
        {"ftp://srv", {kAnon, kDefault, "srv", "21", "/", ""}},
        {"ftp://srv/", {kAnon, kDefault, "srv", "21", "/", ""}},
        {"ftp://srv:2121", {kAnon, kDefault, "srv", "2121", "/", ""}},
        {"ftp://srv:2121/x/", {kAnon, kDefault, "srv", "2121", "/x/", ""}},
        {"ftp://srv/dir:1/f", {kAnon, kDefault, "srv", "21", "/dir:1/", "f"}},
        {"ftp://srv:abc/f", {kAnon, kDefault, "srv", "abc", "/", "f"}},
        {"ftp://10.0.0.7:21/x/y.mp3", {kAnon, kDefault, "10.0.0.7", "21", "/x/", "y.mp3"}},
        {"ftp://srv//a//b.mp3", {kAnon, kDefault, "srv", "21", "//a//", "b.mp3"}},
        {"ftp://:2121/f", {kAnon, kDefault, "", "2121", "/", "f"}},
        // The scheme is skipped unseen.
        {"FTP://SRV/F", {kAnon, kDefault, "SRV", "21", "/", "F"}},
        // Logins: no colon keeps the default password; the first colon splits, later ones belong
        // to the password.
        {"ftp://bob@srv/f", {"bob", kDefault, "srv", "21", "/", "f"}},
        {"ftp://bob:se:cr:et@srv:21/f", {"bob", "se:cr:et", "srv", "21", "/", "f"}},
        {"ftp://:@srv/f", {"", "", "srv", "21", "/", "f"}},
        // The first "@" anywhere ends the login, also one inside the path.
        {"ftp://srv/a@b/c", {"srv/a", kDefault, "b", "21", "/", "c"}},
        {"ftp://u:p@srv/a@b/c@d", {"u", "p", "srv", "21", "/a@b/", "c@d"}},
        // Nothing is decoded.
        {"ftp://srv/a%20b/c%41.mp3", {kAnon, kDefault, "srv", "21", "/a%20b/", "c%41.mp3"}},
    };
    for (const UrlCase &c : cases)
        EXPECT_EQ(ParseFTPURL(QByteArray(c.url)), c.expected) << c.url;
}

TEST(ParseFtpUrl, LeavesTheFileAsItWasWhenTheLinkNamesNone)
{
    for (const char *url : {"ftp://srv", "ftp://srv:21", "ftp://srv/x/"}) {
        QByteArray user, password, host, port, path, file = "before";
        ParseFTPURL(QByteArray(url), user, password, host, port, path, file);
        EXPECT_EQ(file, QByteArray("before")) << url;
    }
}

} // namespace
