#include "update/update_protocol.h"

#include <gtest/gtest.h>

namespace {

TEST(UpdateRequest, KeepsTheFetchLinesWithTheUpdateClientsOwnUserAgent)
{
    EXPECT_EQ(updateRequest({"update.kestrune.org", 80}, UpdateMode::Engines, false),
              "GET /~quenmar/cgi-bin/enginesup.cgi HTTP/1.0\r\nConnection: close\r\nUser-Agent: Holmvane [en] (Win98; U)\r\n"
              "Host: update.kestrune.org\r\nAccept: */*\r\nAccept-Encoding: identity\r\nAccept-Language: en\r\n"
              "Accept-Charset: iso-8859-1,*,utf-8\r\n\r\n");
    // Through a proxy the target is absolute, with the port when it is not 80.
    EXPECT_EQ(updateRequest({"10.0.0.7", 8080}, UpdateMode::Clients, true),
              "GET http://10.0.0.7:8080/~quenmar/cgi-bin/clients.txt HTTP/1.0\r\nProxy-Connection: close\r\n"
              "User-Agent: Holmvane [en] (Win98; U)\r\nPragma: no-cache\r\nHost: 10.0.0.7\r\nAccept: */*\r\n"
              "Accept-Encoding: identity\r\nAccept-Language: en\r\nAccept-Charset: iso-8859-1,*,utf-8\r\n\r\n");
    EXPECT_TRUE(updateRequest({"u.example", 80}, UpdateMode::Version, true).startsWith("GET http://u.example/~quenmar/cgi-bin/searchup.cgi HTTP/1.0\r\n"));
}

TEST(UpdateServer, IsHostColonPort)
{
    const struct { const char *text; const char *host; int port; } rows[] = {
        {"127.0.0.1:8080", "127.0.0.1", 8080}, {"h:1", "h", 1}, {"h:65535", "h", 65535}, {"h:65536", nullptr, 0},
        {"h:0", nullptr, 0}, {"h", nullptr, 0}, {":80", nullptr, 0}, {"h:x", nullptr, 0}, {"h:", nullptr, 0}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        const auto server = UpdateServer::fromText(row.text);
        ASSERT_EQ(server.has_value(), row.host != nullptr);
        if (server) {
            EXPECT_EQ(server->host + ':' + QByteArray::number(server->port), QByteArray(row.host) + ':' + QByteArray::number(row.port));
        }
    }
}

TEST(Reception, IsCompleteWhenTheBodyReachesTheHeadersLength)
{
    using enum Reception;
    const QByteArray body19 = "0123456789012345678"; // the rows give what follows "HTTP/1.0 200 OK\r\n"
    const struct { const char *name; QByteArray received; Reception state; } rows[] = {
        {"19 of 20", "Content-Length: 20\r\n\r\n" + body19, Incomplete},
        {"20 of 20", "Content-Length: 20\r\n\r\n" + body19 + "9", Complete},
        {"small letters, no blank", "content-length:20\r\n\r\n" + body19 + "9", Complete},
        {"blanks around", "CONTENT-LENGTH:   3  \r\n\r\nabc", Complete}, {"zero", "Content-Length: 0\r\n\r\n", Complete},
        {"above 32767", "Content-Length: 40000\r\n\r\n" + QByteArray(40000, 'x'), Complete},
        {"one short of 40000", "Content-Length: 40000\r\n\r\n" + QByteArray(39999, 'x'), Incomplete},
        {"header not ended", "Content-Length: 0\r\n", Incomplete}, {"no length", "\r\n" + body19, Incomplete},
        {"length only in the body", "\r\nContent-Length: 1\n", Incomplete},
        {"another header's name", "X-Content-Length: 0\r\n\r\nab", Incomplete},
        {"not a number", "Content-Length: lots\r\n\r\nab", BadLength}, {"negative", "Content-Length: -1\r\n\r\nab", BadLength}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray received = "HTTP/1.0 200 OK\r\n" + row.received;
        const auto header = readResponseHeader(received);
        EXPECT_EQ(header ? receptionState(*header, received.size()) : Incomplete, row.state);
    }
}

} // namespace
