#include "ftpclient/server_details.h"
#include "platform/node_tree.h"
#include "search/results.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace {

// "FTP" and "HTTP" roots, one server under each, and a links list under the model checker.
class ServerDetailsTest : public ::testing::Test
{
protected:
    ServerDetailsTest()
    {
        ftpRoot = ftpList.add(QStringLiteral("FTP"), QStringLiteral("FTP"));
        httpRoot = ftpList.add(QStringLiteral("HTTP"), QStringLiteral("HTTP"));
        ftpServer = addServer("ftp://bob:pw:x@srv:2121", "srv", ftpRoot);
        httpServer = addServer("http://web", "web", httpRoot);
    }

    int addServer(const QByteArray &url, const QString &host, int root)
    {
        const int record = servers.add(url);
        servers[record].addEntry("/a/", "1.mp3");
        servers[record].addEntry("/b/", "2.mp3");
        servers[record].addEntry("/a/", "3.mp3");
        servers[record].addEntry("/a/", "1.mp3");
        const int node = ftpList.add(QString::fromLatin1(url), host, root, QStringLiteral("Untested"));
        ftpList.setTag(node, record);
        return node;
    }

    SearchInfo show(int node, int layout) { return ShowServerDetails(ftpList, node, servers, layout, linksList); }

    // Each node as "picture:key:text", children indented under their parent, in order.
    QStringList listed(int parent = 0, const QString &indent = {}) const
    {
        QStringList out;
        for (int row = 0; row < linksList.childCount(parent); ++row) {
            const int node = linksList.childAt(parent, row);
            out << indent + linksList.picture(node) + u':' + linksList.key(node) + u':' + linksList.text(node);
            out << listed(node, indent + u' ');
        }
        return out;
    }

    NodeTree ftpList;
    NodeTree linksList;
    QAbstractItemModelTester checker{&linksList, QAbstractItemModelTester::FailureReportingMode::Fatal};
    ServerTable servers;
    int ftpRoot = 0;
    int httpRoot = 0;
    int ftpServer = 0;
    int httpServer = 0;
};

TEST_F(ServerDetailsTest, ListsTheFilesInEachLayout)
{
    const QString url = QStringLiteral("ftp://bob:pw:x@srv:2121");
    const struct
    {
        int layout;
        QStringList expected;
    } cases[] = {
        {1, {"File:" + url + "/a/1.mp3:1.mp3", "File:" + url + "/b/2.mp3:2.mp3", "File:" + url + "/a/3.mp3:3.mp3"}},
        {2, {"File:" + url + "/a/1.mp3:/a/1.mp3", "File:" + url + "/b/2.mp3:/b/2.mp3", "File:" + url + "/a/3.mp3:/a/3.mp3"}},
        {3, {"Path:/a/:/a/", " File:" + url + "/a/1.mp3:1.mp3", " File:" + url + "/a/3.mp3:3.mp3", "Path:/b/:/b/",
             " File:" + url + "/b/2.mp3:2.mp3"}},
        {0, {}},
        {4, {}},
    };
    for (const auto &c : cases) {
        const SearchInfo info = show(ftpServer, c.layout);
        EXPECT_EQ(listed(), c.expected) << c.layout;
        EXPECT_EQ(info, (SearchInfo{QStringLiteral("srv"), QStringLiteral("2121"), QStringLiteral("bob"),
                                    QStringLiteral("pw:x")}));
    }
}

TEST_F(ServerDetailsTest, RootsListNothingAndHttpServersShowNoLogin)
{
    show(ftpServer, 3);
    for (const int root : {ftpRoot, httpRoot, 0}) {
        EXPECT_EQ(show(root, 3), SearchInfo{}) << root;
        EXPECT_EQ(linksList.count(), 0) << root;
    }

    EXPECT_EQ(show(httpServer, 1), SearchInfo{});
    EXPECT_EQ(listed(), (QStringList{"File:http://web/a/1.mp3:1.mp3", "File:http://web/b/2.mp3:2.mp3",
                                     "File:http://web/a/3.mp3:3.mp3"}));
}

} // namespace
