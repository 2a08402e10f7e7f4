#include "search/query_url.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

TEST(EncodeSearchText, TrimsAndTurnsEveryInnerBlankIntoAPlus)
{
    EXPECT_EQ(EncodeSearchText(QStringLiteral("  madonna  like ")), QByteArray("madonna++like"));
    EXPECT_EQ(EncodeSearchText(QStringLiteral("a+b&c%20#d")), QByteArray("a+b&c%20#d"));
    EXPECT_EQ(EncodeSearchText(QStringLiteral("   ")), QByteArray());
    // Control characters count as blanks; non-ASCII text goes out as its UTF-8 bytes.
    EXPECT_EQ(EncodeSearchText(QStringLiteral("\tx")), QByteArray("x"));
    EXPECT_EQ(EncodeSearchText(QStringLiteral("Bj\u00f6rk")), QByteArray("Bj\xc3\xb6rk"));
    // A pasted line break must not end the request line.
    EXPECT_EQ(EncodeSearchText(QStringLiteral("a\r\nX: y\n")), QByteArray("a++X:+y"));
}

TEST(BuildQueryURL, ReplacesOnlyTheFirstPercentSInEitherCase)
{
    EXPECT_EQ(BuildQueryURL("http://e/?q=%s&x=%s", "a+b"), QByteArray("http://e/?q=a+b&x=%s"));
    EXPECT_EQ(BuildQueryURL("http://e/?q=%S", "x"), QByteArray("http://e/?q=x"));
    EXPECT_EQ(BuildQueryURL("http://e/?q=%", "x"), QByteArray());
    EXPECT_EQ(BuildQueryURL("http://e/", "x"), QByteArray());
    EXPECT_EQ(BuildQueryURL("%s", "x"), QByteArray("x"));
}

struct TargetCase
{
    const char *url;
    const char *host;
    int port;
};

class FetchTargetTest : public ::testing::TestWithParam<TargetCase>
{
};

TEST_P(FetchTargetTest, HostAndPort)
{
    const FetchTarget t = fetchTarget(GetParam().url);
    EXPECT_EQ(t.host, QByteArray(GetParam().host));
    EXPECT_EQ(t.port, GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, FetchTargetTest,
    ::testing::Values(TargetCase{"http://engine.example/search?q=a+b", "engine.example", 80},
                      TargetCase{"http://engine.example", "engine.example", 80},
                      TargetCase{"http://127.0.0.1:8080/s?q=x", "127.0.0.1", 8080},
                      TargetCase{"HTTP://Engine:81/", "Engine", 81},
                      TargetCase{"http://e:0/", "e", 0},
                      TargetCase{"http://e:99999/", "e", 0},
                      TargetCase{"http://e:abc/", "e", 0},
                      TargetCase{"https://secure.example/s?q=x", "secure.example", 0},
                      TargetCase{"", "", 80}));

TEST(PageRequest, DirectFormByteForByte)
{
    EXPECT_EQ(pageRequest("http://engine.example/search?q=a+b", false),
              QByteArray("GET /search?q=a+b HTTP/1.0\r\n"
                         "Connection: close\r\n"
                         "User-Agent: Kestrune [en] (Win98; U)\r\n"
                         "Host: engine.example\r\n"
                         "Accept: */*\r\n"
                         "Accept-Encoding: identity\r\n"
                         "Accept-Language: en\r\n"
                         "Accept-Charset: iso-8859-1,*,utf-8\r\n"
                         "\r\n"));
}

TEST(PageRequest, ProxyFormCarriesTheWholeUrl)
{
    EXPECT_EQ(pageRequest("http://engine.example:8080/search?q=a+b", true),
              QByteArray("GET http://engine.example:8080/search?q=a+b HTTP/1.0\r\n"
                         "Proxy-Connection: close\r\n"
                         "User-Agent: Kestrune [en] (Win98; U)\r\n"
                         "Pragma: no-cache\r\n"
                         "Host: engine.example\r\n"
                         "Accept: */*\r\n"
                         "Accept-Encoding: identity\r\n"
                         "Accept-Language: en\r\n"
                         "Accept-Charset: iso-8859-1,*,utf-8\r\n"
                         "\r\n"));
}

TEST(PageRequest, AnExplicitPortIsNotPartOfThePathOrTheHostLine)
{
    const QByteArray request = pageRequest("http://127.0.0.1:8080/s?q=x", false);
    EXPECT_TRUE(request.startsWith("GET /s?q=x HTTP/1.0\r\n"));
    EXPECT_TRUE(request.contains("\r\nHost: 127.0.0.1\r\n"));
    EXPECT_TRUE(pageRequest("http://e", false).startsWith("GET / HTTP/1.0\r\n"));
}

} // namespace
