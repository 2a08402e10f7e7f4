#include "search/detail/http_response.h"

#include <gtest/gtest.h>

namespace {

QByteArray redirect(const QByteArray &status, const QByteArray &location)
{
    return status + "\r\nServer: s\r\nlocation:  " + location + " \r\n\r\n<a href=\"ftp://body.example/x.mp3\">";
}

// Where a redirect sends a request for http://e.example:81/dir/page?q=a/b.
TEST(RedirectTarget, FollowsOnlyTheFiveCodesToWebAddressesResolvedAgainstTheRequest)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"HTTP/1.1 301 Moved", "https://s.example/x?q=1", "https://s.example/x?q=1"},
        {"HTTP/1.0 302 Found", "HTTP://S.example", "HTTP://S.example/"}, {"HTTP/1.0 302 Found", "https://h?x=1", "https://h/?x=1"},
        {"HTTP/1.1 303 See Other", "/root?x#frag", "http://e.example:81/root?x"},
        {"HTTP/1.1 307 Temporary", "//other.example/p", "http://other.example/p"},
        {"HTTP/1.1 308 Permanent", "next?p=2", "http://e.example:81/dir/next?p=2"},
        {"HTTP/1.1 302 Found", "?p=2", "http://e.example:81/dir/page?p=2"},
        {"HTTP/1.1 301 Moved", "/a b", "http://e.example:81/a%20b"},
        // Not followed: other codes, other schemes, no host, control bytes, nothing.
        {"HTTP/1.1 300 Choices", "/x", ""}, {"HTTP/1.1 304 Not Modified", "/x", ""}, {"HTTP/1.1 200 OK", "/x", ""},
        {"HTTP/1.1 3011 Odd", "/x", ""}, {"HTTP/1.1 301", "/x", "http://e.example:81/x"},
        {"HTTP/1.1 301 Moved", "ftp://f.example/x", ""}, {"HTTP/1.1 301 Moved", "javascript:go()", ""},
        {"HTTP/1.1 301 Moved", "https:///x", ""}, {"HTTP/1.1 301 Moved", "http:///x", ""}, {"HTTP/1.1 301 Moved", "///x", ""},
        {"HTTP/1.1 301 Moved", "//h", "http://h/"}, {"HTTP/1.1 301 Moved", "#top", ""},
        {"HTTP/1.1 301 Moved", "/x\x01y", ""}, {"HTTP/1.1 301 Moved", "", ""}, {"301 Moved", "/x", ""}};
    for (const auto &[status, location, target] : cases)
        EXPECT_EQ(redirectTarget(redirect(status, location), "http://e.example:81/dir/page?q=a/b"), QByteArray(target))
            << status << " " << location;
    // A query template without a scheme or a path is http; a bare LF ends the header too.
    EXPECT_EQ(redirectTarget("HTTP/1.0 302 F\nLocation: ?p=2\n\n", "e.example?q=1"), "http://e.example/?p=2");
    // The header must be whole: the Location line may still be arriving.
    EXPECT_EQ(redirectTarget("HTTP/1.1 301 Moved\r\nLocation: /abc", "http://e/"), "");
}

TEST(HttpResponse, StatusLineAndHeaderValueOfTheHeaderOnly)
{
    const QByteArray response = "HTTP/1.1 200 OK\r\nX-Long: v\r\nX: first\r\nx: second\r\n\r\nX: body";
    EXPECT_EQ(statusLine(response), "HTTP/1.1 200 OK");
    EXPECT_EQ(statusLine("<html>HTTP/1.1 200 OK\r\n"), "");
    EXPECT_EQ(headerEnd(response), response.indexOf("X: body"));
    EXPECT_EQ(headerValue(response.first(headerEnd(response)), "X"), "first");
}

} // namespace
