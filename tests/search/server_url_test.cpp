#include "search/server_url.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <tuple>

namespace {

std::string str(const SplitLink &pieces)
{
    return (pieces.server.toByteArray() + '|' + pieces.path.toByteArray() + '|' + pieces.file.toByteArray()).toStdString();
}

TEST(ServerURL, SplitURLAndParseServerTables)
{
    const std::pair<const char *, const char *> splits[] = { // link, "server|path|file"
        {"ftp://H/pub/mp3/a.mp3", "ftp://H|/pub/mp3/|a.mp3"}, {"ftp://u:p@H:21/b", "ftp://u:p@H:21|/|b"},
        {"FTP://H/dir/", "FTP://H|/dir/|"}, {"ftp://H", "ftp://H||"}, {"ftp:///a", "ftp://|/|a"},
        {"http://h/a/b/c", "http://h|/a/b/|c"}, {"ab/c/d", "ab|/c/|d"}, {"/x", "/x||"}, {"ftp:a/b/c", "ftp:a|/b/|c"},
        {"", "||"}};
    for (const auto &[link, pieces] : splits)
        EXPECT_EQ(str(SplitURL(link)), pieces) << link;
    const std::tuple<const char *, const char *, int> servers[] = { // server, host, port
        {"ftp://H", "H", 21}, {"ftp://H:2121", "H", 2121}, {"ftp://u:p@H:2121", "H", 2121}, {"ftp://u@H", "H", 21},
        {"http://h", "h", 21}, {"FTP://Host", "Host", 21}, {"HTTP://Host:80", "Host", 80}, {"ftp://H:abc", "H", 21},
        {"ftp://H:0", "H", 21}, {"ftp://H:65535", "H", 65535}, {"ftp://H:65536", "H", 21}, {"ftp://H:-5", "H", 21},
        {"ftp://", "", 21}, {"ftp://u@", "", 21}, {"FTP", "FTP", 21}, {"ftp://a@b@c", "c", 21},
        {"ftp://user:p@ss@at.example", "at.example", 21}, {"u@h:2", "h", 2}, {"ftp://[::1]:2121", "[::1]", 2121},
        {"ftp://u:p@[fe80::1]", "[fe80::1]", 21}, {"ftp://[::1]", "[::1]", 21}, {"ftp://[::1", "[::1", 21},
        {"ftp://[::1]x:5", "[::1]x", 5}, {"ftp://[]:9", "[]", 9}};
    for (const auto &[server, host, port] : servers) {
        EXPECT_EQ(ParseServer(server).host, QByteArrayView(host)) << server;
        EXPECT_EQ(ParseServer(server).port, port) << server;
    }
    const std::pair<const char *, const char *> hosts[] = {{"[::1]", "::1"}, {"h", "h"}, {"[::1", "[::1"}, {"[]", ""}, {"]", "]"}};
    for (const auto &[host, address] : hosts)
        EXPECT_EQ(Unbracketed(host), QByteArrayView(address)) << host;
}

// Every length around the 16-byte blocks the searches take: the last "/" and the last "@" are
// found wherever they stand.
TEST(ServerURL, PiecesOfEveryLengthAroundTheBlockSizes)
{
    for (int hostSize = 1; hostSize <= 40; ++hostSize) {
        for (int pathSize = 0; pathSize <= 40; ++pathSize) {
            const std::string host(static_cast<std::size_t>(hostSize), 'h'), server = "ftp://u@x:y@" + host + ":21";
            std::string path = "/";
            for (int k = 0; k < pathSize; ++k)
                path += k % 7 == 6 ? '/' : 'p';
            const std::string link = server + path + "f.mp3";
            const QByteArrayView view(link.data(), qsizetype(link.size()));
            const std::size_t cut = link.rfind('/') + 1 - server.size();
            ASSERT_EQ(str(SplitURL(view)), server + '|' + path.substr(0, cut) + '|' + link.substr(server.size() + cut)) << link;
            ASSERT_EQ(ParseServer(SplitURL(view).server).host.toByteArray().toStdString(), host) << link;
            ASSERT_EQ(SplitResultLink(view).host.toByteArray().toStdString(), host) << link;
        }
    }
}

TEST(SplitResultLink, AgreesWithSplitURLAndParseServer)
{
    // Pieces that meet in every way a scheme, a user, a port and a path can meet.
    static const char *const pieces[] = {"ftp://", "http://", "FTP://", "hTTp://", "ftp:/", "ftp:", "x1://", "://",
                                         "u", "u:p@", "@", "a@b@", "host", "h", ".", ":", ":21", ":x", "/", "//",
                                         "/pub/", "a.mp3", "?", "%", "ftp://h/", "nnnnnnnnnnnnnnnnnnnn", "[", "]",
                                         "[::1]", "@@@@@@@@@@@@@@@@@@@@"};
    QRandomGenerator random(5);
    for (int round = 0; round < 20000; ++round) {
        QByteArray link;
        for (int i = random.bounded(1, 8); i > 0; --i)
            link += pieces[random.bounded(static_cast<quint32>(std::size(pieces)))];
        const ResultLink fast = SplitResultLink(link);
        const SplitLink slow = SplitURL(link);
        ASSERT_EQ(str(fast.pieces), str(slow)) << link.toStdString();
        ASSERT_EQ(fast.host, ParseServer(slow.server).host) << link.toStdString();
    }
}

} // namespace
