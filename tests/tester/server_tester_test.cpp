#include "tester/server_tester.h"

#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
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
    explicit Listener(bool silent = false, const QHostAddress &address = QHostAddress::LocalHost)
    {
        setListenBacklogSize(silent ? 0 : 1024);
        ok = listen(address);
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

// Records from the tree the order in which servers went under test and the most at once.
struct Rig
{
    explicit Rig(int maxTest, std::chrono::milliseconds answerTime = 30s)
        : tester(ftpList, preferences, status, TimeLimits{.serverTest = answerTime})
    {
        preferences.maxTest = maxTest;
        QObject::connect(&ftpList, &QAbstractItemModel::dataChanged, [this](const QModelIndex &index) {
            if (ftpList.picture(ftpList.nodeIndex(index)) == Picture::QuestionMark)
                started.push_back(ftpList.nodeIndex(index));
            mostAtOnce = std::max(mostAtOnce, int(pictures().count(u"QuestionMark")));
        });
    }
    int add(const QString &key, int root = 1) { return ftpList.add(key, key, root, root == 1 ? Picture::Untested : Picture::Working); }
    QString pictures() const
    {
        QStringList all;
        for (int i = 1; i <= ftpList.count(); ++i)
            all << pictureKey(ftpList.picture(i));
        return all.join(u' ');
    }
    bool settled()
    {
        return QTest::qWaitFor([this] {
            return !tester.activeTestSockets() && !pictures().contains(u"Untested") && !pictures().contains(u"Question");
        }, 10000);
    }

    NodeTree ftpList;
    Preferences preferences;
    StatusLine status{statusPanelKeys()};
    ServerTester tester;
    const int ftpRoot = ftpList.add(u"FTP"_s, u"FTP"_s, 0, Picture::Engine), httpRoot = ftpList.add(u"HTTP"_s, u"HTTP"_s, 0, Picture::Engine);
    int mostAtOnce = 0;
    std::vector<int> started;
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
        servers.push_back(rig.add(server(port, u"u%1:pass"_s.arg(i))));
    }
    rig.tester.StartTests();
    EXPECT_EQ(rig.started, std::vector<int>(servers.begin(), servers.begin() + 10));
    // Raising the limit in the options while tests run does not outgrow the slot table.
    rig.preferences.maxTest = 50;
    EXPECT_TRUE(rig.settled());
    EXPECT_EQ(rig.started, servers);
    EXPECT_EQ(rig.mostAtOnce, 10);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(rig.ftpList.picture(servers[i]), i % 3 == 0 ? Picture::CheckMark : Picture::Dead) << i;
}

// A password may hold an "@" once unescaped; brackets are no part of an IPv6 host's address.
TEST(ServerTester, TestsTheHostAfterTheLastAtAndInsideBracketsAndSaysWhenAllAreTested)
{
    Listener open, open6(false, QHostAddress::LocalHostIPv6);
    ASSERT_TRUE(open.ok);
    if (!open6.ok)
        GTEST_SKIP() << "no IPv6 loopback here";
    Rig rig(2);
    QSignalSpy done(&rig.tester, &ServerTester::allServersTested);
    for (const QString &key : {u"ftp://[::1]:%1"_s.arg(open6.serverPort()), u"ftp://user:p@ss@127.0.0.1:%1"_s.arg(open.serverPort()),
                               u"ftp://a@b@127.0.0.1:%1"_s.arg(open.serverPort())})
        rig.add(key);
    EXPECT_FALSE(rig.tester.allTested());
    rig.tester.StartTests();
    EXPECT_FALSE(rig.tester.allTested());
    EXPECT_TRUE(rig.settled());
    EXPECT_EQ(rig.pictures(), u"Engine Engine CheckMark CheckMark CheckMark");
    EXPECT_TRUE(QTest::qWaitFor([&] { return open.accepted == 2 && open6.accepted == 1; }, 5000));
    EXPECT_TRUE(rig.tester.allTested());
    EXPECT_EQ(done.count(), 1);
    rig.add(server(open.serverPort()));
    EXPECT_FALSE(rig.tester.allTested());
}

TEST(ServerTester, SwitchingTestingOffGivesBackTheServersUnderTest)
{
    Listener open, silent(true);
    ASSERT_TRUE(open.ok && silent.ok);
    Rig rig(3, 400ms);
    rig.add(server(open.serverPort()));
    rig.add(server(freePort()));
    for (int i = 0; i < 3; ++i)
        rig.add(server(silent.serverPort(), QString::number(i)));
    EXPECT_TRUE(rig.tester.ToggleTestResults(false));
    const QString threeUnderTest = u"Engine Engine CheckMark Dead QuestionMark QuestionMark QuestionMark"_s;
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.pictures() == threeUnderTest; }, 5000));
    EXPECT_FALSE(rig.tester.ToggleTestResults(false));
    EXPECT_EQ(rig.status.text(u"TSockets"_s), u"Active Test Sockets: 0");
    // Their time-outs are gone with their sockets: nothing changes afterwards.
    QTest::qWait(600);
    EXPECT_EQ(rig.pictures(), u"Engine Engine CheckMark Dead Untested Untested Untested");
    rig.started.clear();
    EXPECT_TRUE(rig.tester.ToggleTestResults(false));
    EXPECT_EQ(rig.started, (std::vector<int>{5, 6, 7}));
}

// An empty host is Dead at once; HTTP servers and roots keep their pictures.
TEST(ServerTester, TestsWaitForTheSearchToEnd)
{
    Listener open;
    ASSERT_TRUE(open.ok);
    Rig rig(2);
    QSignalSpy ticks(&rig.tester, &ServerTester::testingEnabledChanged);
    rig.tester.haltForSearch();
    const int alive = rig.add(server(open.serverPort()));
    rig.add(u"http://127.0.0.1:1"_s, rig.httpRoot);
    const int dead = rig.add(server(freePort()));
    rig.add(u"ftp://user:pass@:2121"_s);
    const int alive2 = rig.add(server(open.serverPort(), u"u"_s));
    const QString tested = u"Engine Engine CheckMark Working Dead Dead CheckMark"_s;
    for (const bool reTest : {false, true}) {
        SCOPED_TRACE(reTest ? "Re Test Results" : "Toggle Test Results");
        rig.started.clear();
        EXPECT_TRUE(reTest ? rig.tester.ReTestResults(true) : rig.tester.ToggleTestResults(true));
        QTest::qWait(100);
        EXPECT_TRUE(rig.started.empty());
        EXPECT_EQ(rig.pictures(), u"Engine Engine Untested Working Untested Untested Untested");
        rig.tester.resumeAfterSearch();
        EXPECT_TRUE(rig.settled());
        EXPECT_EQ(rig.pictures(), tested);
        EXPECT_EQ(rig.started, (std::vector<int>{alive, dead, alive2})) << "no socket spent on an empty host";
    }
    EXPECT_EQ(ticks.size(), 1) << "ticked once";
}

} // namespace
