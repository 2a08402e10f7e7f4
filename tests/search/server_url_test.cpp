#include "search/server_url.h"

#include <gtest/gtest.h>

#include <tuple>

#include "search/search_reference.h"

namespace {

// "server|path|file|host" by SplitResultLink. Links of every kind and length meet the reference where they are grouped.
std::string pieces(QByteArrayView link)
{
    const ResultLink split = SplitResultLink(link);
    return (split.pieces.server.toByteArray() + '|' + split.pieces.path.toByteArray() + '|'
            + split.pieces.file.toByteArray() + '|' + split.host.toByteArray()).toStdString();
}

TEST(SplitResultLink, Table)
{
    const std::pair<const char *, const char *> rows[] = {
        {"ftp://u:p@H:21/pub/mp3/a.mp3", "ftp://u:p@H:21|/pub/mp3/|a.mp3|H"}, {"FTP://H/dir/", "FTP://H|/dir/||H"},
        {"ftp://H", "ftp://H|||H"}, {"ftp:///a", "ftp://|/|a|"}, {"", "|||"}, {"ab/c/d", "ab|/c/|d|ab"}, {"/x", "/x|||/x"},
        {"ftp:a/b/c", "ftp:a|/b/|c|ftp"}, {"u@h:2/x", "u@h:2|/|x|h"}, {"x1://a@b@[::1]:21/f", "x1://a@b@[::1]:21|/|f|[::1]"},
        {"ftp://[::1/f", "ftp://[::1|/|f|[::1"}, {"http://u:p@ss@h/a@b/c", "http://u:p@ss@h|/a@b/|c|h"}};
    for (const auto &[link, expected] : rows) {
        EXPECT_EQ(pieces(link), expected) << link;
        const ref::Parts p = ref::split(link);
        EXPECT_EQ(p.server + '|' + p.path + '|' + p.file + '|' + p.host, expected) << "the reference: " << link;
    }
}

TEST(ParseServer, HostAndAPortIn1To65535Or21)
{
    const QByteArray longHost(100000, 'h');
    const std::tuple<QByteArray, QByteArray, int> rows[] = {
        {"ftp://H", "H", 21}, {"ftp://u:p@H:2121", "H", 2121}, {"HTTP://Host:80", "Host", 80}, {"ftp://H:abc", "H", 21},
        {"ftp://H:0", "H", 21}, {"ftp://H:1", "H", 1}, {"ftp://H:65535", "H", 65535}, {"ftp://H:65536", "H", 21},
        {"ftp://H:4294967317", "H", 21}, {"ftp://H:-5", "H", 21}, {"ftp://H:", "H", 21}, {"ftp://u@", "", 21},
        {"FTP", "FTP", 21}, {"ftp://a@b@c", "c", 21}, {"u@h:2", "h", 2}, {"ftp://[::1]:2121", "[::1]", 2121},
        {"ftp://[::1", "[::1", 21}, {"ftp://[::1]x:5", "[::1]x", 5}, {"ftp://" + longHost + ":65535", longHost, 65535},
        {"ftp://h:" + QByteArray(1000, '9'), "h", 21}};
    for (const auto &[server, host, port] : rows) {
        EXPECT_EQ(ParseServer(server).host, host) << server.left(40).toStdString();
        EXPECT_EQ(ParseServer(server).port, port) << server.left(40).toStdString();
    }
}

TEST(Unbracketed, DropsTheBracketsOfAnIPv6Literal)
{
    const std::pair<const char *, const char *> rows[] = {{"[::1]", "::1"}, {"h", "h"}, {"[::1", "[::1"}, {"[]", ""}, {"]", "]"}};
    for (const auto &[host, address] : rows) EXPECT_EQ(Unbracketed(host), QByteArrayView(address)) << host;
}

} // namespace
