// A result link's pieces against the tests' reference split, and the server's host and port.
// Input: the link.

#include "search/search_reference.h"
#include "search/server_url.h"

#include "fuzz_check.h"

namespace {

bool inside(QByteArrayView piece, QByteArrayView whole)
{
    return piece.isEmpty() || (piece.data() >= whole.data() && piece.data() + piece.size() <= whole.data() + whole.size());
}

// Host and port of `server` by the header's words: behind "://" and the last "@"; the port
// counts when it is a plain number in 1..65535.
void checkServer(QByteArrayView server)
{
    const std::string s = server.toByteArray().toStdString();
    const std::size_t scheme = s.find("://");
    std::string hostPort = s.substr(scheme == ref::npos ? 0 : scheme + 3);
    hostPort = hostPort.substr(hostPort.rfind('@') == ref::npos ? 0 : hostPort.rfind('@') + 1);
    const HostAndPort split = SplitHostAndPort(hostPort);
    const ServerAddress address = ParseServer(server);
    CHECK(address.host == split.host && inside(address.host, server), server, address.host, split.host);
    CHECK(address.port >= 1 && address.port <= 65535, server, address.port);
    const QByteArray port = split.port ? split.port->toByteArray() : "21";
    if (!port.isEmpty() && port.size() < 9 && std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
        CHECK(address.port == (port.toInt() >= 1 && port.toInt() <= 65535 ? port.toInt() : 21), server, address.port);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView link = inputView(data, size);
    const ResultLink result = SplitResultLink(link);
    const SplitLink &p = result.pieces;
    const ref::Parts expected = ref::split(link.toByteArray().toStdString());
    CHECK(p.server == QByteArrayView(expected.server) && p.path == QByteArrayView(expected.path)
              && p.file == QByteArrayView(expected.file) && result.host == QByteArrayView(expected.host),
          link, p.server, p.path, p.file, result.host);
    // The pieces follow each other through the whole link.
    CHECK(p.server.data() == link.data() && p.server.size() + p.path.size() + p.file.size() == link.size(), link);
    CHECK(p.path.isEmpty() ? p.file.isEmpty() : p.path.data() == link.data() + p.server.size(), link);
    CHECK(p.file.isEmpty() || p.file.data() == p.path.data() + p.path.size(), link);
    CHECK(inside(result.host, p.server), link, result.host);
    checkServer(link);
    checkServer(p.server);
    CHECK(ParseServer(p.server).host == result.host, link, result.host);

    // host[:port], the colon looked for from an IPv6 literal's "]" on.
    const HostAndPort hp = SplitHostAndPort(link);
    const qsizetype close = link.startsWith('[') ? link.indexOf(']') : 0;
    CHECK(hp.host.data() == link.data() && inside(hp.host, link), link);
    CHECK(hp.port ? hp.host.size() + 1 + hp.port->size() == link.size() && link[hp.host.size()] == ':'
                  : hp.host.size() == link.size(), link, hp.host);
    CHECK(close < 0 || !hp.host.sliced(std::min(close, hp.host.size())).contains(':'), link, hp.host);

    const QByteArrayView bare = Unbracketed(link);
    const bool bracketed = link.size() >= 2 && link.startsWith('[') && link.endsWith(']');
    CHECK(bracketed ? bare.data() == link.data() + 1 && bare.size() == link.size() - 2 : bare.data() == link.data() && bare.size() == link.size(), link);
    return 0;
}
