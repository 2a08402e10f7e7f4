// ParseFTPURL: both forms agree, and the pieces are the link's own text by the header's rules or
// the anonymous defaults. Input: the link.

#include "ftpclient/detail/ftp_url.h"
#include "search/server_url.h"

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView url = inputView(data, size);
    const FtpLink link = ParseFTPURL(url);
    FtpLink byParts;
    byParts.file = "untouched";
    ParseFTPURL(url, byParts.user, byParts.password, byParts.host, byParts.port, byParts.path, byParts.file);
    if (link.file.isEmpty()) { // the parts form leaves `file` alone then
        CHECK(byParts.file == "untouched", url, byParts.file);
        byParts.file.clear();
    }
    CHECK(byParts == link, url, link.user, byParts.user, link.file, byParts.file);

    // After the scheme's six characters: [user[:password]@]host[:port] up to the first "/", then
    // the path to the last "/" and the file.
    const QByteArrayView s = url.size() > 6 ? url.sliced(6) : QByteArrayView();
    const qsizetype slash = s.indexOf('/');
    const QByteArrayView authority = slash < 0 ? s : s.first(slash), rest = slash < 0 ? QByteArrayView() : s.sliced(slash);
    const qsizetype at = authority.lastIndexOf('@');
    const QByteArrayView login = at < 0 ? QByteArrayView() : authority.first(at);
    const qsizetype colon = login.indexOf(':');
    if (at < 0)
        CHECK(link.user == "anonymous" && link.password == kDefaultFtpPassword, url, link.user, link.password);
    else
        CHECK(link.user == login.first(colon < 0 ? login.size() : colon)
                  && link.password == (colon < 0 ? kDefaultFtpPassword : login.sliced(colon + 1)), url, link.user, link.password);
    const HostAndPort hp = SplitHostAndPort(authority.sliced(at + 1));
    CHECK(link.host == hp.host && link.port == (hp.port ? *hp.port : "21"), url, link.host, link.port);
    if (rest.isEmpty())
        CHECK(link.path == "/" && link.file.isEmpty(), url, link.path, link.file);
    else
        CHECK(link.path.endsWith('/') && !link.file.contains('/') && link.path + link.file == rest, url, link.path, link.file);
    return 0;
}
