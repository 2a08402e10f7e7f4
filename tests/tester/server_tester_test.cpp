#include "tester/server_tester.h"

#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"
#include "search/search_state.h"
#include "search/status.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "support/peers.h"
#include "support/test_files.h"

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// Accepts and counts connections; a silent one fills its queue with one it never accepts, so that
// connects to it neither succeed nor fail until close() (the next SYN then meets a reset).
struct Listener : QTcpServer
{
    explicit Listener(bool silent = false, const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0)
    {
        setListenBacklogSize(silent ? 0 : 1024);
        ok = listen(address, port);
        if (silent) {
            pauseAccepting();
            filler.connectToHost(address, serverPort());
            ok = ok && filler.waitForConnected(5000);
        }
        connect(this, &QTcpServer::newConnection, [this] {
            for (QTcpSocket *socket; (socket = nextPendingConnection()); ++accepted)
                socket->deleteLater();
        });
    }
    QTcpSocket filler;
    bool ok = false;
    int accepted = 0;
};

QString server(int port, const QString &login = {})
{
    return u"ftp://"_s + (login.isEmpty() ? QString() : login + u'@') + u"127.0.0.1:"_s + QString::number(port);
}

// The result tree with its two roots, the state the tester shares, and a record of the tests as
// the tree shows them: the order in which nodes went under test and how many were at once.
struct Rig
{
    explicit Rig(int maxTest, std::chrono::milliseconds answerTime = 30s)
        : tester(state, ftpList, preferences, status, TimeLimits{.serverTest = answerTime})
    {
        preferences.maxTest = maxTest;
        ftpRoot = ftpList.add(u"FTP"_s, u"FTP"_s, 0, u"Engine"_s);
        httpRoot = ftpList.add(u"HTTP"_s, u"HTTP"_s, 0, u"Engine"_s);
        QObject::connect(&ftpList, &QAbstractItemModel::dataChanged, [this](const QModelIndex &index) {
            const int node = ftpList.nodeIndex(index);
            if (ftpList.picture(node) != u"QuestionMark") {
                marked.erase(node);
            } else if (marked.insert(node).second) {
                started.push_back(node);
                mostAtOnce = std::max(mostAtOnce, int(marked.size()));
            }
        });
    }
    int addFtp(const QString &key) { return ftpList.add(key, key, ftpRoot, u"Untested"_s); }
    int addHttp(const QString &key) { return ftpList.add(key, key, httpRoot, u"Working"_s); }
    QString panel() const { return status.text(u"TSockets"_s); }
    // Every node's picture, in node order.
    QString pictures() const
    {
        QStringList all;
        for (int i = 1; i <= ftpList.count(); ++i)
            all << ftpList.picture(i);
        return all.join(u' ');
    }
    // No server waits or is under test any more.
    bool settled()
    {
        return QTest::qWaitFor([this] {
            const QString all = pictures();
            return !state.activeTestSockets && !all.contains(u"Untested") && !all.contains(u"Question");
        }, 10000);
    }

    SearchState state;
    NodeTree ftpList;
    QAbstractItemModelTester modelTester{&ftpList, QAbstractItemModelTester::FailureReportingMode::Fatal};
    Preferences preferences;
    StatusLine status{statusPanelKeys()};
    ServerTester tester;
    int ftpRoot = 0, httpRoot = 0, mostAtOnce = 0;
    std::vector<int> started;
    std::set<int> marked;
};

TEST(ServerTester, TakesServersInNodeOrderNeverMoreThanMaxTestAtOnce)
{
    Listener open, silent(true);
    ASSERT_TRUE(open.ok && silent.ok);
    const int closedPort = freePort();

    Rig rig(10, 200ms);
    std::vector<int> servers;
    for (int i = 0; i < 25; ++i) {
        // Answers, refusals and silence (Dead once its time runs out), at the port after the login.
        const int port = i % 3 == 0 ? open.serverPort() : i % 3 == 1 ? closedPort : silent.serverPort();
        servers.push_back(rig.addFtp(server(port, u"u%1:pass"_s.arg(i))));
    }
    rig.tester.StartTests();
    EXPECT_EQ(rig.started, std::vector<int>(servers.begin(), servers.begin() + 10));
    EXPECT_EQ(rig.panel(), u"Active Test Sockets: 10");

    // Raising the limit in the options while tests run does not outgrow the slot table.
    rig.preferences.maxTest = 50;
    EXPECT_TRUE(rig.settled());
    EXPECT_EQ(rig.started, servers);
    EXPECT_EQ(rig.mostAtOnce, 10);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(rig.ftpList.picture(servers[i]), i % 3 == 0 ? u"CheckMark" : u"Dead") << i;
    EXPECT_EQ(rig.panel(), u"Active Test Sockets: 0");
}

TEST(ServerTester, KeysWithoutAUsablePortAreTestedOnPort21)
{
    // Port 21 on an address of loopback's own that nothing else uses.
    Listener port21(false, QHostAddress(u"127.45.0.21"_s), 21);
    if (!port21.ok)
        GTEST_SKIP() << "cannot listen on 127.45.0.21:21 here";
    Rig rig(10);
    for (const QString &key : {u"ftp://127.45.0.21"_s, u"ftp://me:pw@127.45.0.21:ftp"_s, u"ftp://127.45.0.21:65536"_s})
        rig.addFtp(key);
    rig.tester.StartTests();
    EXPECT_TRUE(rig.settled());
    EXPECT_EQ(rig.pictures(), u"Engine Engine CheckMark CheckMark CheckMark");
    EXPECT_EQ(port21.accepted, 3);
}

// The host follows the last "@" of the server part (a password may hold one once unescaped), and
// a bracketed IPv6 host is connected to without its brackets. The tester says when it is done.
TEST(ServerTester, TestsTheHostAfterTheLastAtAndInsideBracketsAndSaysWhenAllAreTested)
{
    Listener open, open6(false, QHostAddress::LocalHostIPv6);
    ASSERT_TRUE(open.ok);
    if (!open6.ok)
        GTEST_SKIP() << "no IPv6 loopback here";
    Rig rig(2);
    QSignalSpy done(&rig.tester, &ServerTester::allServersTested);
    rig.addFtp(u"ftp://[::1]:%1"_s.arg(open6.serverPort()));
    rig.addFtp(u"ftp://user:p@ss@127.0.0.1:%1"_s.arg(open.serverPort()));
    rig.addFtp(u"ftp://a@b@127.0.0.1:%1"_s.arg(open.serverPort()));
    EXPECT_FALSE(rig.tester.allTested());
    rig.tester.StartTests();
    EXPECT_FALSE(rig.tester.allTested());
    EXPECT_TRUE(rig.settled());
    EXPECT_EQ(rig.pictures(), u"Engine Engine CheckMark CheckMark CheckMark");
    EXPECT_TRUE(QTest::qWaitFor([&] { return open.accepted == 2 && open6.accepted == 1; }, 5000));
    EXPECT_TRUE(rig.tester.allTested());
    EXPECT_EQ(done.count(), 1);
    rig.addFtp(server(open.serverPort()));
    EXPECT_FALSE(rig.tester.allTested());
}

TEST(ServerTester, AFinishedSlotIsTheNextOneTaken)
{
    Listener open, first(true), third(true), later(true);
    ASSERT_TRUE(open.ok && first.ok && third.ok && later.ok);

    Rig rig(3);
    const int a = rig.addFtp(server(first.serverPort()));
    const int b = rig.addFtp(server(open.serverPort()));
    const int c = rig.addFtp(server(third.serverPort()));
    const int d = rig.addFtp(server(later.serverPort(), u"d"_s));
    const int e = rig.addFtp(server(later.serverPort(), u"e"_s));

    rig.tester.StartTests();
    EXPECT_EQ(rig.tester.testSlots(), (QVector<int>{0, a, b, c}));
    // b answers at once; the only slot it frees is 2.
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.ftpList.picture(b) == u"CheckMark"; }, 5000));
    EXPECT_EQ(rig.tester.testSlots(), (QVector<int>{0, a, d, c}));
    // c fails once its listener is gone, while slots 1 and 2 stay busy.
    third.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.ftpList.picture(c) == u"Dead"; }, 10000));
    EXPECT_EQ(rig.tester.testSlots(), (QVector<int>{0, a, d, e}));
}

TEST(ServerTester, SwitchingTestingOffGivesBackTheServersUnderTest)
{
    Listener open, silent(true);
    ASSERT_TRUE(open.ok && silent.ok);

    Rig rig(3, 400ms);
    rig.addFtp(server(open.serverPort()));
    rig.addFtp(server(freePort()));
    for (int i = 0; i < 3; ++i)
        rig.addFtp(server(silent.serverPort(), QString::number(i)));

    EXPECT_TRUE(rig.tester.ToggleTestResults(false));
    const QString threeUnderTest = u"Engine Engine CheckMark Dead QuestionMark QuestionMark QuestionMark"_s;
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.pictures() == threeUnderTest; }, 5000));
    EXPECT_FALSE(rig.tester.ToggleTestResults(false));
    EXPECT_FALSE(rig.preferences.testingEnabled);
    EXPECT_EQ(rig.panel(), u"Active Test Sockets: 0");
    // Their time-outs are gone with their sockets: nothing changes afterwards.
    QTest::qWait(600);
    EXPECT_EQ(rig.pictures(), u"Engine Engine CheckMark Dead Untested Untested Untested");
    // Switched on again, only the servers given back are tested.
    rig.started.clear();
    EXPECT_TRUE(rig.tester.ToggleTestResults(false));
    EXPECT_EQ(rig.started, (std::vector<int>{5, 6, 7}));
}

TEST(ServerTester, WaitsForTheSearchReTestsAndStartsNothingWithoutSlots)
{
    Listener open;
    ASSERT_TRUE(open.ok);
    Rig rig(2);
    QSignalSpy ticks(&rig.tester, &ServerTester::testingEnabledChanged);
    rig.tester.haltForSearch();
    const int alive = rig.addFtp(server(open.serverPort()));
    rig.addHttp(u"http://127.0.0.1:1"_s);
    const int dead = rig.addFtp(server(freePort()));
    rig.addFtp(u"ftp://user:pass@:2121"_s);
    const int alive2 = rig.addFtp(server(open.serverPort(), u"u"_s));

    // Switched on while a search runs: nothing starts until it ends.
    EXPECT_TRUE(rig.tester.ToggleTestResults(true));
    QTest::qWait(100);
    EXPECT_TRUE(rig.started.empty());
    rig.tester.resumeAfterSearch();
    EXPECT_TRUE(rig.settled());
    const QString tested = u"Engine Engine CheckMark Working Dead Dead CheckMark"_s;
    EXPECT_EQ(rig.pictures(), tested) << "the HTTP server and the roots keep their pictures";
    EXPECT_EQ(rig.started, (std::vector<int>{alive, dead, alive2})) << "no socket spent on an empty host";

    // "Re Test Results" puts every mark back; during a search the tests wait for its end.
    EXPECT_TRUE(rig.tester.ReTestResults(true));
    QTest::qWait(100);
    EXPECT_EQ(rig.pictures(), u"Engine Engine Untested Working Untested Untested Untested");
    rig.started.clear();
    EXPECT_TRUE(rig.tester.ReTestResults(false));
    EXPECT_TRUE(rig.settled());
    EXPECT_EQ(rig.pictures(), tested);
    EXPECT_EQ(rig.started, (std::vector<int>{alive, dead, alive2})) << "tested again";
    EXPECT_EQ(ticks.size(), 1) << "ticked once";

    // The next search clears the tree; its servers are tested from the first node again.
    rig.tester.haltForSearch();
    rig.ftpList.clear();
    rig.ftpRoot = rig.ftpList.add(u"FTP"_s, u"FTP"_s, 0, u"Engine"_s);
    const int again = rig.addFtp(server(open.serverPort()));
    rig.tester.resumeAfterSearch();
    EXPECT_TRUE(rig.settled());
    EXPECT_EQ(rig.ftpList.picture(again), u"CheckMark");

    // No slots, no tests.
    rig.preferences.maxTest = 0;
    rig.addFtp(server(open.serverPort(), u"late"_s));
    rig.tester.StartTests();
    QTest::qWait(100);
    EXPECT_EQ(rig.state.activeTestSockets, 0);
    EXPECT_EQ(open.accepted, 5);
}

} // namespace
