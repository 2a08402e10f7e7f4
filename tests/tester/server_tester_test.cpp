#include "tester/server_tester.h"

#include "platform/node_tree.h"
#include "platform/socket_array.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include "support/peers.h"
#include "support/test_files.h"

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

QString serverKey(int port, const QString &login = {}) { return u"ftp://"_s + login + u"127.0.0.1:"_s + QString::number(port); }

// A result tree with its roots and a tester; it records the order of the tests and the most at once.
struct Rig
{
    explicit Rig(int maxTest, std::chrono::milliseconds answerTime = 10s) : tester(ftpList, preferences, status, {.serverTest = answerTime})
    {
        preferences.maxTest = maxTest;
        open.listen(QHostAddress::LocalHost);
        // Connects to `silent` neither succeed nor fail: its queue is full with one it never takes.
        silent.setListenBacklogSize(0);
        silent.listen(QHostAddress::LocalHost);
        silent.pauseAccepting();
        filler.connectToHost(QHostAddress::LocalHost, silent.serverPort());
        filler.waitForConnected(5000);
        QObject::connect(&ftpList, &QAbstractItemModel::dataChanged, [this](const QModelIndex &index) {
            if (ftpList.picture(ftpList.nodeIndex(index)) == Picture::QuestionMark) started.push_back(ftpList.nodeIndex(index));
            mostAtOnce = std::max(mostAtOnce, int(pictures().count(u"QuestionMark")));
        });
    }
    int add(const QString &key, int root = 1) { return ftpList.add(key, key, root, root == 1 ? Picture::Untested : Picture::Working); }
    QString pictures() const
    {
        QStringList all;
        for (int i = 3; i <= ftpList.count(); ++i) all << pictureKey(ftpList.picture(i));
        return all.join(u' ');
    }
    bool settled() { return QTest::qWaitFor([this] { return tester.allTested() && !pictures().contains(u"Untested"); }, 10000); }

    NodeTree ftpList;
    Preferences preferences;
    StatusLine status{statusPanelKeys()};
    ServerTester tester;
    const int httpRoot = (ftpList.add(u"FTP"_s, u"FTP"_s, 0, Picture::Engine), ftpList.add(u"HTTP"_s, u"HTTP"_s, 0, Picture::Engine));
    QTcpServer open, silent;
    QTcpSocket filler;
    int mostAtOnce = 0;
    std::vector<int> started;
};

TEST(ServerTester, TakesServersInNodeOrderNeverMoreThanMaxTestAtOnce)
{
    Rig rig(4, 200ms);
    QSignalSpy done(&rig.tester, &ServerTester::allServersTested);
    const int ports[] = {rig.open.serverPort(), freePort(), rig.silent.serverPort()}; // answered, refused, unanswered in time
    for (int i = 0; i < 12; ++i) rig.add(serverKey(ports[i % 3], u"u%1:p@ss@"_s.arg(i)));
    rig.tester.StartTests();
    EXPECT_EQ(rig.started, (std::vector{3, 4, 5, 6}));
    rig.preferences.maxTest = 50; // raised while tests run: the slot table still bounds them
    EXPECT_TRUE(rig.settled());
    EXPECT_EQ(rig.started, (std::vector{3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(rig.pictures(), u"CheckMark Dead Dead CheckMark Dead Dead CheckMark Dead Dead CheckMark Dead Dead"_s);
    EXPECT_EQ(std::pair(rig.mostAtOnce, done.count()), std::pair(4, qsizetype(1))); // the most at once; "all tested" once
}

TEST(ServerTester, AnUpperBoundBelowOneTestsNothing)
{
    for (const int maxTest : {0, -3}) {
        Rig rig(maxTest);
        rig.add(serverKey(rig.open.serverPort()));
        rig.tester.StartTests();
        EXPECT_EQ(rig.pictures() + u' ' + rig.status.text(u"TSockets"_s), u"Untested Active Test Sockets: 0"_s) << "maxTest " << maxTest;
    }
}

// Once every server is tested, one that a change of the tree leaves Untested is tested again.
TEST(ServerTester, AServerPutBackToUntestedIsTestedAgain)
{
    Rig rig(2);
    rig.add(serverKey(rig.open.serverPort(), u"a@"_s));
    const int again = rig.add(serverKey(rig.open.serverPort(), u"b@"_s));
    rig.tester.StartTests();
    ASSERT_TRUE(rig.settled());
    rig.ftpList.setPicture(again, Picture::Untested);
    EXPECT_FALSE(rig.tester.allTested());
    rig.tester.StartTests();
    EXPECT_TRUE(rig.settled());
    EXPECT_EQ(rig.started, (std::vector{3, again, again}));
}

// Events for a slot with no test on it (given back, never used, outside the table) change nothing.
TEST(ServerTester, AnEventForASlotWithoutATestChangesNothing)
{
    Rig rig(3);
    rig.add(serverKey(freePort()));
    rig.add(serverKey(rig.silent.serverPort()));
    rig.tester.StartTests(); // the refused server takes slot 1 and gives it back; the silent one holds slot 2
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.pictures() == u"Dead QuestionMark"; }));
    for (const int slot : {1, 3, 0, 4, -1}) {
        emit rig.tester.findChild<SocketArray *>()->connected(slot);
        EXPECT_EQ(rig.pictures() + u' ' + rig.status.text(u"TSockets"_s), u"Dead QuestionMark Active Test Sockets: 1"_s) << "slot " << slot;
    }
}

TEST(ServerTester, SwitchingTestingOffGivesBackTheServersUnderTest)
{
    Rig rig(3, 400ms);
    for (const QString &login : {u""_s, u"a@"_s, u"b@"_s}) rig.add(serverKey(rig.silent.serverPort(), login));
    EXPECT_TRUE(rig.tester.ToggleTestResults(false));
    EXPECT_FALSE(rig.tester.ToggleTestResults(false));
    QTest::qWait(600); // their answer times are gone with their sockets
    EXPECT_EQ(rig.pictures() + u' ' + rig.status.text(u"TSockets"_s), u"Untested Untested Untested Active Test Sockets: 0"_s);
}

// Switched on, or all again, during a search, testing waits for its end.
TEST(ServerTester, TestsWaitForTheSearchToEnd)
{
    Rig rig(2);
    const int alive = rig.add(serverKey(rig.open.serverPort())), dead = rig.add(serverKey(freePort()));
    rig.add(u"http://127.0.0.1:1"_s, rig.httpRoot);
    rig.add(u"ftp://user:pass@:2121"_s);
    for (const bool reTest : {false, true}) {
        SCOPED_TRACE(reTest ? "ReTestResults" : "ToggleTestResults");
        rig.started.clear();
        rig.tester.haltForSearch();
        EXPECT_TRUE(reTest ? rig.tester.ReTestResults(true) : rig.tester.ToggleTestResults(true));
        EXPECT_EQ(rig.pictures(), u"Untested Untested Working Untested"_s);
        rig.tester.resumeAfterSearch();
        EXPECT_TRUE(rig.settled());
        EXPECT_EQ(rig.pictures(), u"CheckMark Dead Working Dead"_s);
        EXPECT_EQ(rig.started, (std::vector{alive, dead}));
    }
}

} // namespace
