#include "search/detail/query_url.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

TEST(EncodeSearchText, TrimsAndTurnsEveryInnerBlankIntoAPlus)
{
    // A pasted line break must not end the request line; non-ASCII text goes out as UTF-8.
    const std::pair<const char16_t *, const char *> cases[] = {
        {u"  madonna  like ", "madonna++like"}, {u"a+b&c%20#d", "a+b&c%20#d"}, {u"   ", ""}, {u"\tx", "x"},
        {u"Bj\u00f6rk", "Bj\xc3\xb6rk"}, {u"a\r\nX: y\n", "a++X:+y"}};
    for (const auto &[text, encoded] : cases)
        EXPECT_EQ(EncodeSearchText(QString::fromUtf16(text)), QByteArray(encoded)) << encoded;
}

TEST(BuildQueryURL, ReplacesOnlyTheFirstPercentSInEitherCase)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"http://e/?q=%s&x=%s", "a+b", "http://e/?q=a+b&x=%s"}, {"http://e/?q=%S", "x", "http://e/?q=x"},
        {"http://e/?q=%", "x", ""}, {"http://e/", "x", ""}, {"%s", "x", "x"}};
    for (const auto &[templ, text, url] : cases) EXPECT_EQ(BuildQueryURL(templ, text), QByteArray(url)) << templ;
}

TEST(FetchTarget, HostPortAndTlsWithPortZeroForWhatCannotBeFetched)
{
    const std::pair<const char *, const char *> cases[] = {
        {"http://engine.example", "engine.example:80"}, {"HTTP://Engine:81/", "Engine:81"}, {"http://e:0/", "e:0"},
        {"http://e:65535/", "e:65535"}, {"http://e:65536/", "e:0"}, {"http://e:abc/", "e:0"}, {"", ":80"},
        {"https://secure.example/s?q=x", "secure.example:443 tls"}, {"HttpS://s:8443", "s:8443 tls"},
        {"ftp://f.example/x", "f.example:0 unknown"}, {"httpx://e/", "e:0 unknown"}};
    for (const auto &[url, expected] : cases) {
        const FetchTarget t = fetchTarget(url);
        EXPECT_EQ(t.host + ':' + QByteArray::number(t.port) + (t.tls ? " tls" : "") + (t.knownScheme ? "" : " unknown"),
                  QByteArray(expected)) << url;
    }
    EXPECT_EQ(tunnelRequest(fetchTarget("https://s.example/q?x=1")), "CONNECT s.example:443 HTTP/1.0\r\nHost: s.example:443\r\n\r\n");
    EXPECT_EQ(tunnelRequest(fetchTarget("HTTPS://s:8443")), "CONNECT s:8443 HTTP/1.0\r\nHost: s:8443\r\n\r\n");
}

// The direct form is checked byte for byte against real nginx in the search controller's tests.
TEST(PageRequest, ProxyFormByteForByteAndARootPathWhenThereIsNone)
{
    EXPECT_EQ(pageRequest("http://engine.example:8080/search?q=a+b", true),
              "GET http://engine.example:8080/search?q=a+b HTTP/1.0\r\nProxy-Connection: close\r\nUser-Agent: "
              "Kestrune [en] (Win98; U)\r\nPragma: no-cache\r\nHost: engine.example\r\nAccept: */*\r\nAccept-Encoding: "
              "identity\r\nAccept-Language: en\r\nAccept-Charset: iso-8859-1,*,utf-8\r\n\r\n");
    EXPECT_TRUE(pageRequest("http://e", false).startsWith("GET / HTTP/1.0\r\n"));
}

} // namespace
