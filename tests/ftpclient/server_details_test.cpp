#include "ftpclient/server_details.h"
#include "platform/node_tree.h"
#include "search/results.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

using namespace Qt::StringLiterals;

// Rows select a node in one layout and give the files listed as "parent's text picture:key:text", and the login (FTP only).
TEST(ServerDetails, ShowsTheFilesAndLoginOfTheSelectedNode)
{
    NodeTree ftpList, linksList;
    QAbstractItemModelTester checker{&linksList, QAbstractItemModelTester::FailureReportingMode::Fatal};
    ServerTable servers;
    const int ftpRoot = ftpList.add(u"FTP"_s, u"FTP"_s), httpRoot = ftpList.add(u"HTTP"_s, u"HTTP"_s);
    for (const auto &[url, root] : {std::pair{"ftp://bob:pw:x@srv:2121", ftpRoot}, {"http://web", httpRoot}}) {
        const int record = servers.add(url);
        for (const char *entry : {"/a/1.mp3", "/b/2.mp3", "/a/3.mp3"}) servers[record].addEntry(QByteArray(entry, 3), entry + 3);
        ftpList.setTag(ftpList.add(QString::fromLatin1(url), u"host"_s, root, Picture::Untested), record);
    }
    const QString f = u"File:ftp://bob:pw:x@srv:2121"_s, h = u"File:http://web"_s;
    const SearchInfo login{u"srv"_s, u"2121"_s, u"bob"_s, u"pw:x"_s}, none;
    const struct { const char *what; int node, layout; QStringList files; SearchInfo info; } cases[] = {
        {"list", 3, 1, {f + "/a/1.mp3:1.mp3", f + "/b/2.mp3:2.mp3", f + "/a/3.mp3:3.mp3"}, login},
        {"half detailed", 3, 2, {f + "/a/1.mp3:/a/1.mp3", f + "/b/2.mp3:/b/2.mp3", f + "/a/3.mp3:/a/3.mp3"}, login},
        {"detailed", 3, 3, {"Path:/a/:/a/", "/a/" + f + "/a/1.mp3:1.mp3", "Path:/b/:/b/", "/b/" + f + "/b/2.mp3:2.mp3",
                            "/a/" + f + "/a/3.mp3:3.mp3"}, login},
        {"layout 0", 3, 0, {}, login}, {"layout 4", 3, 4, {}, login},
        {"an HTTP server", 4, 1, {h + "/a/1.mp3:1.mp3", h + "/b/2.mp3:2.mp3", h + "/a/3.mp3:3.mp3"}, none},
        {"the FTP root", ftpRoot, 3, {}, none}, {"the HTTP root", httpRoot, 3, {}, none}, {"no node", 0, 3, {}, none}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ShowServerDetails(ftpList, 3, servers, ListLayout::List, linksList); // something to replace
        EXPECT_EQ(ShowServerDetails(ftpList, c.node, servers, static_cast<ListLayout>(c.layout), linksList), c.info);
        QStringList files;
        for (int n = 1; n <= linksList.count(); ++n)
            files << linksList.text(linksList.parentOf(n)) + pictureKey(linksList.picture(n)) + u':' + linksList.key(n) + u':' + linksList.text(n);
        EXPECT_EQ(files, c.files);
    }
}

} // namespace
