#include "search/results.h"

#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "search/search_state.h"
#include "search/status.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <iterator>

namespace {

class ResultsTest : public ::testing::Test
{
protected:
    void SetUp() override { results.startSearch(); }

    // The node that shows `text`, 0 if none.
    int node(const QString &text) const
    {
        for (int i = 3; i <= ftpList.count(); ++i) {
            if (ftpList.text(i) == text)
                return i;
        }
        return 0;
    }

    SearchState state;
    NodeTree ftpList{NodeTree::DisplayMode::Pictures};
    QAbstractItemModelTester tester{&ftpList, QAbstractItemModelTester::FailureReportingMode::Fatal};
    StatusLine status{statusPanelKeys()};
    Results results{state, ftpList, status};
};

TEST_F(ResultsTest, StartSearchLeavesTheTwoRootsExpanded)
{
    results.AddResult("ftp://h/a.mp3", false);
    results.startSearch();
    ASSERT_EQ(ftpList.count(), 2);
    for (const int i : {1, 2}) {
        const QString name = i == 1 ? QStringLiteral("FTP") : QStringLiteral("HTTP");
        EXPECT_EQ(ftpList.key(i), name);
        EXPECT_EQ(ftpList.text(i), name);
        EXPECT_EQ(ftpList.picture(i), QStringLiteral("Engine"));
        EXPECT_TRUE(ftpList.expanded(i));
    }
}

TEST_F(ResultsTest, OneHostWhateverUserPasswordAndPort)
{
    EXPECT_EQ(results.AddResult("ftp://H/a.mp3", false), 1);
    EXPECT_EQ(results.AddResult("ftp://user:secret@H:2121/b.mp3", false), 1);
    ASSERT_EQ(ftpList.count(), 3);
    EXPECT_EQ(ftpList.text(3), QStringLiteral("H"));
    EXPECT_EQ(ftpList.key(3), QStringLiteral("ftp://H"));
    EXPECT_EQ(ftpList.parentOf(3), 1);
    EXPECT_EQ(ftpList.picture(3), QStringLiteral("Untested"));
    EXPECT_EQ(ftpList.tag(3).toInt(), 1);
    const ServerRecord &record = state.servers[1];
    EXPECT_EQ(record.ServerURL(), "ftp://H");
    ASSERT_EQ(record.entryCount(), 2);
    EXPECT_EQ(record.Paths(1) + record.FileNames(1), "/a.mp3");
    EXPECT_EQ(record.FileNames(2), "b.mp3");
    EXPECT_EQ(state.resultCount, 2);
}

TEST_F(ResultsTest, WhatIsNotAResult)
{
    const QByteArray links[] = {
        "ftp://h/pub/",      "ftp://h",           "ftp:///a.mp3",      "ftp://user@/a.mp3", "ftp://:21/a.mp3",
        "ftp://h/a\nb.mp3",  "ftp://h/a\x7f.mp3", "ftp://h\r/a.mp3",   QByteArray("ftp://h/a\0b", 11),
        "FTP/a.mp3", // its server URL would be a root's key
    };
    for (const QByteArray &link : links) {
        EXPECT_EQ(results.AddResult(link, false), 0) << link.toStdString();
        EXPECT_EQ(results.AddResult(link, true), 0) << link.toStdString();
    }
    EXPECT_EQ(ftpList.count(), 2);
    EXPECT_EQ(state.servers.upperBound(), 0);
    EXPECT_EQ(state.resultCount, 0);
}

TEST_F(ResultsTest, DuplicatesAndDirectories)
{
    EXPECT_EQ(results.AddResult("ftp://h/pub/a.mp3", false), 1);
    EXPECT_EQ(results.AddResult("ftp://h/pub/a.mp3", false), 0);
    EXPECT_EQ(results.AddResult("ftp://other@h:99/pub/a.mp3", false), 0) << "same host, same entry";
    EXPECT_EQ(results.AddResult("http://h/pub/a.mp3", true), 0) << "same entry by http";
    EXPECT_EQ(results.AddResult("ftp://h/mp3/a.mp3", false), 1) << "same name, other directory";
    EXPECT_EQ(results.AddResult("ftp://h/pub/A.mp3", false), 1) << "names compare exactly";
    EXPECT_EQ(results.AddResult("ftp://h/puba.mp3", false), 1) << "path and name are not glued";
    EXPECT_EQ(state.resultCount, 4);
    EXPECT_EQ(state.servers[1].Paths(4), "/");
}

TEST_F(ResultsTest, HttpLinkToAHostUnderFtpJoinsItsRecord)
{
    results.AddResult("ftp://h/a.mp3", false);
    results.AddResult("http://web/b.mp3", true);
    EXPECT_EQ(results.AddResult("http://h/c.mp3", true), 1);
    EXPECT_EQ(results.AddResult("ftp://web/d.mp3", false), 2);
    const int h = node(QStringLiteral("h")), web = node(QStringLiteral("web"));
    EXPECT_EQ(ftpList.parentOf(h), 1);
    EXPECT_EQ(ftpList.picture(h), QStringLiteral("Untested"));
    EXPECT_EQ(ftpList.parentOf(web), 2);
    EXPECT_EQ(ftpList.picture(web), QStringLiteral("Working"));
    EXPECT_EQ(ftpList.key(web), QStringLiteral("http://web"));
    EXPECT_EQ(state.servers[2].FileNames(2), "d.mp3");
    EXPECT_EQ(ftpList.count(), 4);
}

TEST_F(ResultsTest, HostsAreComparedExactlyAndWhole)
{
    const QByteArray longHost(60, 'h');
    const QByteArray links[] = {"ftp://Host/a", "ftp://host/a", "FTP://HOST/a", "ftp://" + longHost + ".net/a",
                                "ftp://" + longHost + ".org/a", "ftp://" + longHost + ".net/b"};
    for (const QByteArray &link : links)
        results.AddResult(link, false);
    EXPECT_EQ(ftpList.count(), 7);
    EXPECT_EQ(ftpList.key(5), QStringLiteral("FTP://HOST"));
    EXPECT_EQ(ftpList.text(5), QStringLiteral("HOST"));
    EXPECT_EQ(results.recordOf(longHost + ".net"), 4);
    EXPECT_EQ(state.servers[4].entryCount(), 2);
}

TEST_F(ResultsTest, HostsNamedLikeTheRootsGetServerNodes)
{
    EXPECT_EQ(results.AddResult("ftp://FTP/a.mp3", false), 1);
    EXPECT_EQ(results.AddResult("http://HTTP/b.mp3", true), 2);
    EXPECT_EQ(results.AddResult("ftp://FTP/c.mp3", false), 1);
    ASSERT_EQ(ftpList.count(), 4);
    EXPECT_EQ(ftpList.key(3), QStringLiteral("ftp://FTP"));
    EXPECT_EQ(ftpList.parentOf(3), 1);
    EXPECT_EQ(ftpList.key(4), QStringLiteral("http://HTTP"));
    EXPECT_EQ(ftpList.parentOf(4), 2);
    EXPECT_EQ(ftpList.tag(1), QVariant());
}

TEST_F(ResultsTest, SecondSearchKeepsServersAndContinuesTags)
{
    results.AddResult("ftp://a/1.mp3", false);
    results.AddResult("ftp://b/1.mp3", false);
    results.startSearch();
    state.resultCount = 0; // the search start's reset
    EXPECT_EQ(results.AddResult("ftp://a/1.mp3", false), 3) << "a new node and record for a known host";
    EXPECT_EQ(results.AddResult("http://c/x.mp3", true), 4);
    EXPECT_EQ(state.servers.upperBound(), 4);
    EXPECT_EQ(ftpList.tag(node(QStringLiteral("a"))).toInt(), 3);
    EXPECT_EQ(state.servers[1].entryCount(), 1) << "old records stay as they were";
    EXPECT_EQ(state.servers[2].ServerURL(), "ftp://b");
    EXPECT_EQ(state.resultCount, 2);
    EXPECT_EQ(node(QStringLiteral("b")), 0);
}

TEST_F(ResultsTest, StatusFollowsAtTheNextEventLoopPassOrOnFlush)
{
    UpdateStatus(state, status);
    results.AddResult("ftp://h/a.mp3", false);
    results.AddResult("ftp://h/b.mp3", false);
    EXPECT_EQ(status.text(QStringLiteral("Results")), QStringLiteral("Search Results: 0")) << "deferred";
    QCoreApplication::processEvents();
    EXPECT_EQ(status.text(QStringLiteral("Results")), QStringLiteral("Search Results: 2"));
    results.AddResult("ftp://h/c.mp3", false);
    results.flushStatus();
    EXPECT_EQ(status.text(QStringLiteral("Results")), QStringLiteral("Search Results: 3"));
}

TEST(ServerRecord, CopiesAreIndependent)
{
    ServerRecord original("ftp://h");
    original.addEntry("/a/", "1.mp3");
    ServerRecord copy = original;
    EXPECT_TRUE(copy.addEntry("/a/", "2.mp3"));
    EXPECT_FALSE(copy.addEntry("/a/", "1.mp3"));
    EXPECT_TRUE(original.addEntry("/b/", "3.mp3"));
    EXPECT_EQ(copy.FileNames(2), "2.mp3");
    EXPECT_EQ(original.FileNames(2), "3.mp3");
    for (const int j : {-1, 0, 3}) {
        EXPECT_TRUE(copy.FileNames(j).isEmpty()) << j;
        EXPECT_TRUE(copy.Paths(j).isEmpty()) << j;
    }
}

TEST(ServerRecord, BigRecordsStillFindDuplicates)
{
    ServerRecord record("ftp://h");
    const auto path = [](int i) { return "/d" + QByteArray::number(i % 7) + "/"; };
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(record.addEntry(path(i), "f" + QByteArray::number(i)));
    ServerRecord copy = record;
    for (int i = 0; i < 500; ++i) {
        ASSERT_FALSE(record.addEntry(path(i), "f" + QByteArray::number(i))) << i;
        ASSERT_EQ(record.Paths(i + 1) + record.FileNames(i + 1), path(i) + "f" + QByteArray::number(i));
    }
    EXPECT_FALSE(copy.addEntry("/d3/", "f3"));
    EXPECT_TRUE(copy.addEntry("/d3/", "f500"));
    EXPECT_EQ(record.entryCount(), 500);
}

TEST(ServerRecord, SamePairFromSeparateOrJoinedBytes)
{
    ServerRecord record;
    const QByteArrayView rest = QByteArrayView("ftp://h/pub/a.mp3").sliced(7);
    EXPECT_TRUE(record.addEntry(rest.first(5), rest.sliced(5)));
    EXPECT_FALSE(record.addEntry(QByteArray("/pub/"), QByteArray("a.mp3")));
    EXPECT_TRUE(record.addEntry("/pub", "/a.mp3")) << "a different split is a different entry";
    EXPECT_TRUE(record.addEntry("", QByteArray("a\0b", 3)));
}

// Everything a search leaves behind, to compare two ways of getting there.
QStringList outcomeOf(const SearchState &state, const NodeTree &tree)
{
    QStringList outcome{QString::number(state.resultCount)};
    for (int i = 1; i <= tree.count(); ++i)
        outcome << tree.key(i) + '|' + tree.text(i) + '|' + QString::number(tree.parentOf(i)) + '|' + tree.picture(i)
                + '|' + tree.tag(i).toString();
    for (int r = 1; r <= state.servers.upperBound(); ++r) {
        outcome << QString::fromLatin1(state.servers[r].ServerURL());
        for (int j = 1; j <= state.servers[r].entryCount(); ++j)
            outcome << QString::fromLatin1(state.servers[r].Paths(j) + '|' + state.servers[r].FileNames(j));
    }
    return outcome;
}

QByteArray randomLink(QRandomGenerator &random)
{
    static const char *const schemes[] = {"ftp://", "http://", "FTP://", "Http://", "", "ftp:/"};
    static const char *const users[] = {"", "", "anonymous@", "u:p@", "@"};
    static const char *const hosts[] = {"a", "A", "b.example.net", "FTP", "HTTP", "", "c",
                                        "a-long-host-name-that-does-not-fit-into-one-slot-of-the-table.org",
                                        "a-long-host-name-that-does-not-fit-into-one-slot-of-the-table.net"};
    static const char *const ports[] = {"", "", ":21", ":2121", ":x"};
    static const char *const paths[] = {"/", "/pub/", "/pub/mp3/", "/PUB/", "", "//"};
    static const char *const files[] = {"x.mp3", "y.mp3", "X.mp3", "", "z", "c\nd", "dir/"};
    const auto pick = [&random](const auto &list) {
        return QByteArray(list[random.bounded(static_cast<quint32>(std::size(list)))]);
    };
    return pick(schemes) + pick(users) + pick(hosts) + pick(ports) + pick(paths) + pick(files);
}

TEST(StagedResults, SameOutcomeAsOneByOne)
{
    QRandomGenerator random(99);
    for (int round = 0; round < 200; ++round) {
        SearchState oneState, stagedState;
        NodeTree oneTree, stagedTree;
        QAbstractItemModelTester oneTester{&oneTree, QAbstractItemModelTester::FailureReportingMode::Fatal};
        QAbstractItemModelTester stagedTester{&stagedTree, QAbstractItemModelTester::FailureReportingMode::Fatal};
        StatusLine status{statusPanelKeys()};
        Results one(oneState, oneTree, status), staged(stagedState, stagedTree, status);
        for (int search = 0; search < 2; ++search) {
            one.startSearch();
            staged.startSearch();
            const int count = static_cast<int>(random.bounded(1, 300));
            for (int i = 0; i < count; ++i) {
                const QByteArray link = randomLink(random);
                const bool isHTTP = random.bounded(2) == 1;
                one.AddResult(link, isHTTP);
                staged.stage(link, isHTTP);
                if (random.bounded(40) == 0)
                    staged.addStaged();
            }
            staged.addStaged();
            ASSERT_EQ(outcomeOf(oneState, oneTree), outcomeOf(stagedState, stagedTree)) << "round " << round;
        }
        EXPECT_GT(oneState.servers.upperBound(), 2);
    }
}

TEST(StagedResults, StartSearchDropsStagedLinks)
{
    SearchState state;
    NodeTree tree;
    QAbstractItemModelTester tester{&tree, QAbstractItemModelTester::FailureReportingMode::Fatal};
    StatusLine status{statusPanelKeys()};
    Results results(state, tree, status);
    results.startSearch();
    results.stage("ftp://h/a.mp3", false);
    results.startSearch();
    EXPECT_EQ(results.addStaged(), 0);
    EXPECT_EQ(tree.count(), 2);
}

} // namespace
