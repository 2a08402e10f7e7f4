#include "search/search_controller.h"

#include "catalogue/engine_catalogue.h"
#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"
#include "search/results.h"
#include "search/search_state.h"
#include "search/status.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "support/peers.h"
#include "support/scripted_server.h"
#include "support/test_files.h"

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

QByteArray ftpLinks(const QByteArray &host, int count, int first = 0)
{
    QByteArray page;
    for (int i = first; i < first + count; ++i)
        page += "<a href=\"ftp://" + host + "/pub/song" + QByteArray::number(i) + ".mp3\">x</a>\n";
    return page;
}

QByteArray httpPage(const QByteArray &body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body;
}

QString engineOn(quint16 port, const QString &path = {})
{
    return u"http://127.0.0.1:%1/%2?q=%s"_s.arg(port).arg(path);
}

class SearchControllerTest : public ::testing::Test
{
protected:
    // The catalogue: one engine per template, all active unless listed in `inactive`.
    void setEngines(const QStringList &templates, const QList<int> &inactive = {})
    {
        QByteArray file = "[Engines]\r\nCount=" + QByteArray::number(templates.size()) + "\r\n", sections;
        for (int i = 1; i <= templates.size(); ++i) {
            const QByteArray n = QByteArray::number(i);
            file += "Name" + n + "=E" + n + "\r\n";
            sections += "[E" + n + "]\r\nURL=http://home" + n + "/\r\nQUERY=" + templates[i - 1].toLatin1()
                        + "\r\nActive=" + (inactive.contains(i) ? "False" : "True") + "\r\n";
        }
        file += sections;
        writeBytes(profile.pathOf(kSettingsFile), file);
        LoadEngines(engines, profile);
    }

    QStringList serverHosts() const
    {
        QStringList hosts;
        for (int i = 1; i <= ftpList.count(); ++i)
            hosts << (ftpList.parentOf(i) != 0 ? ftpList.text(i) : QString());
        hosts.removeAll(QString());
        return hosts;
    }

    bool waitUntilIdle(int ms = 10000) { return QTest::qWaitFor([this] { return !controller.searching(); }, ms); }

    QStringList marks() const
    {
        QStringList all;
        for (int i = 1; i <= engines.count(); ++i)
            all << engines.picture(i);
        return all;
    }

    QTemporaryDir dir;
    Profile profile{dir.path()};
    SearchState state;
    Preferences preferences;
    NodeTree engines{NodeTree::DisplayMode::CheckBoxes};
    NodeTree ftpList{NodeTree::DisplayMode::Pictures};
    NodeTree linksList{NodeTree::DisplayMode::Pictures};
    QAbstractItemModelTester enginesTester{&engines, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QAbstractItemModelTester ftpTester{&ftpList, QAbstractItemModelTester::FailureReportingMode::Fatal};
    StatusLine status{statusPanelKeys()};
    Results results{state, ftpList, status};
    TimeLimits limits = [] { TimeLimits l; l.pageSilence = 2s; l.pageTotal = 5s; return l; }();
    SearchController controller{{state, preferences, engines, linksList, status, profile, results}, limits};
};

TEST_F(SearchControllerTest, SearchesRealEnginesDirectlyAndThroughARealProxy)
{
    QTemporaryDir root1, root2;
    writeBytes(root1.filePath(u"search"_s), ftpLinks("alpha.example", 3));
    writeBytes(root2.filePath(u"find"_s),
               ftpLinks("beta.example", 2) + "<a href=\"http://web.example/madonna-like.mp3\">m</a>"
                                             "<a href=\"http://web.example/madonna.html\">page</a>");
    NginxPeer nginx1(root1.path()), nginx2(root2.path());
    ASSERT_TRUE(nginx1.start()) << nginx1.output().toStdString();
    ASSERT_TRUE(nginx2.start()) << nginx2.output().toStdString();
    setEngines({engineOn(nginx1.port(), u"search"_s), engineOn(nginx2.port(), u"find"_s) + u"&x=1"_s});

    preferences.maxSearch = 1; // one page at a time: the servers appear in a fixed order
    QSignalSpy ended(&controller, &SearchController::searchEnded);
    controller.SearchBtnClick(u" madonna like "_s);
    ASSERT_TRUE(controller.searching());
    ASSERT_TRUE(waitUntilIdle());

    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(serverHosts(), (QStringList{"alpha.example", "beta.example", "web.example"}));
    EXPECT_EQ(status.text(u"Results"_s) + u" | "_s + status.text(u"Sockets"_s) + u" | "_s + status.text(u"Queued"_s),
              u"Search Results: 6 | Active Search Sockets: 0 | Pages Queued: 0"_s);
    EXPECT_EQ(engines.displayMode(), NodeTree::DisplayMode::CheckBoxes);
    EXPECT_TRUE(engines.checked(1) && engines.checked(2));

    EXPECT_EQ(nginx1.accessLog(),
              QByteArray("200 | GET /search?q=madonna+like HTTP/1.0 | 127.0.0.1 | Kestrune [en] (Win98; U) | */* | "
                         "identity | en | iso-8859-1,*,utf-8 | close | - | -\n"));
    EXPECT_TRUE(nginx2.accessLog().startsWith("200 | GET /find?q=madonna+like&x=1 HTTP/1.0 | "));

    // The same search through a real proxy: the request carries the whole URL.
    TinyproxyPeer proxy;
    ASSERT_TRUE(proxy.start()) << proxy.output().toStdString();
    preferences.useProxy = true;
    preferences.proxyAddress = u"127.0.0.1"_s;
    preferences.proxyPort = proxy.port();
    controller.SearchBtnClick(u"madonna like"_s);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(serverHosts().join(u' ') + u' ' + QString::number(state.resultCount),
              u"alpha.example beta.example web.example 6"_s);
    const QByteArray log = nginx1.accessLog();
    EXPECT_TRUE(log.contains("\n200 | GET /search?q=madonna+like HTTP/1.0 | ") && log.contains("tinyproxy"))
        << log.toStdString();
}

TEST_F(SearchControllerTest, TwelveEnginesWithTenSocketsStartTheRestAsPagesFinish)
{
    ScriptedServer server;
    QStringList templates;
    for (int i = 1; i <= 12; ++i)
        templates << engineOn(server.port(), u"e"_s + QString::number(i));
    setEngines(templates);

    controller.SearchBtnClick(u"x"_s);
    EXPECT_EQ(state.activeSearchSockets, 10);
    EXPECT_EQ(marks(), QStringList(10, u"QuestionMark"_s) << QString() << QString());
    EXPECT_EQ(status.text(u"Sockets"_s), u"Active Search Sockets: 10"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.accepted() == 10 && server.connections().last().request.contains("\r\n\r\n"); }));
    QTest::qWait(100);
    EXPECT_EQ(server.accepted(), 10);

    // The first engine's page ends: the eleventh starts, and only it.
    auto &first = server.connections()[0];
    ASSERT_TRUE(first.request.startsWith("GET /e1?q=x "));
    ScriptedServer::reply(first, httpPage(ftpLinks("one.example", 1)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return engines.picture(1) == u"CheckMark"_s; }));
    EXPECT_EQ(engines.picture(11) + u'|' + engines.picture(12), u"QuestionMark|"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.accepted() == 11; }));

    for (int c = 1; c < server.accepted(); ++c)
        ScriptedServer::reply(server.connections()[c], httpPage({}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.accepted() == 12; }));
    ScriptedServer::reply(server.connections()[11], httpPage({}));
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(marks(), QStringList(12, u"CheckMark"_s));
    EXPECT_EQ(engines.displayMode(), NodeTree::DisplayMode::CheckBoxes); // the marks are no longer shown
    EXPECT_EQ(state.resultCount, 1);
}

// A page that arrives in small pieces and whose peer then falls silent: the pieces are joined in
// order (links cut between pieces are whole) and the silence limit completes the page.
TEST_F(SearchControllerTest, PiecesAreJoinedAndASilentPeerIsCompletedByTheTimeLimit)
{
    const QByteArray page = httpPage(ftpLinks("pieces.example", 5));
    ScriptedServer server([&page](ScriptedServer::Connection &c) {
        for (int cut = 0; cut < page.size(); cut += 7) {
            QTimer::singleShot(cut / 7, c.socket, [s = c.socket, piece = page.mid(cut, 7)] { s->write(piece); s->flush(); });
        }
    });
    setEngines({engineOn(server.port())});
    controller.SearchBtnClick(u"x"_s);
    ASSERT_TRUE(waitUntilIdle(limits.pageSilence.count() + 3000));
    EXPECT_EQ(state.resultCount, 5);
}

// Engines that trickle forever, stream without end, reset mid page, send garbage or a megabyte of
// "href=" without links: the search still ends and the good engine's results are complete.
TEST_F(SearchControllerTest, BadEnginesNeverHoldOrSpoilTheSearch)
{
    auto every = [](int ms, QByteArray bytes) {
        return [ms, bytes](ScriptedServer::Connection &c) {
            auto *timer = new QTimer(c.socket);
            QObject::connect(timer, &QTimer::timeout, c.socket, [s = c.socket, bytes] {
                if (s->bytesToWrite() < 1 << 20)
                    s->write(bytes);
            });
            timer->start(ms);
        };
    };
    auto once = [](QByteArray bytes) { return [bytes](ScriptedServer::Connection &c) { ScriptedServer::reply(c, bytes); }; };
    QByteArray garbage, hrefs = QByteArray("href=").repeated(1024 * 1024 / 5 + 1);
    for (int i = 0; i < 300000; ++i)
        garbage += char((i * 7919) & 0xff);
    ScriptedServer trickle(every(50, "h"));
    ScriptedServer flood(every(1, QByteArray(256 * 1024, '\xff')));
    ScriptedServer reset([](ScriptedServer::Connection &c) {
        c.socket->write(httpPage(ftpLinks("reset.example", 3) + "<a href=\"ftp://reset.example/cut"));
        c.socket->flush();
        c.socket->abort();
    });
    ScriptedServer noise(once(garbage)), linkless(once(hrefs)), good(once(httpPage(ftpLinks("good.example", 40))));
    limits.pageCap = 4 * 1024 * 1024;
    SearchController bounded{{state, preferences, engines, linksList, status, profile, results}, limits};
    QStringList templates;
    for (const ScriptedServer *server : {&trickle, &flood, &reset, &noise, &linkless, &good})
        templates << engineOn(server->port());
    setEngines(templates);

    bounded.SearchBtnClick(u"x"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bounded.searching(); }, limits.pageTotal.count() + 5000));
    QStringList hosts = serverHosts();
    hosts.sort();
    EXPECT_EQ(hosts.join(u' ') + u' ' + QString::number(state.resultCount), u"good.example reset.example 43"_s);
    EXPECT_TRUE(state.pageData[2].isEmpty()); // released once extracted
}

TEST_F(SearchControllerTest, StopDuringExtractionEndsThePageAndStartsNothingMore)
{
    ScriptedServer server;
    server.setHandler([&server](ScriptedServer::Connection &c) {
        ScriptedServer::reply(c, server.accepted() == 1 ? httpPage(ftpLinks("big.example", 200000))
                                                        : httpPage(ftpLinks("next.example", 1)));
    });
    QStringList templates;
    for (int i = 1; i <= 3; ++i)
        templates << engineOn(server.port(), u"e"_s + QString::number(i));
    setEngines(templates);
    preferences.maxSearch = 1;

    // The user clicks once the first results show: from the event loop, while the first page is
    // still being extracted, however fast or slow the machine.
    int atStop = -1;
    const auto onFirstResults = [this](std::function<void()> click) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(&status, &StatusLine::textChanged, &controller, [=, this](const QString &key) {
            if (key != u"Results" || state.resultCount == 0)
                return;
            QObject::disconnect(*connection);
            QMetaObject::invokeMethod(&controller, click, Qt::QueuedConnection);
        });
    };
    onFirstResults([&] {
        atStop = state.resultCount;
        controller.SearchBtnClick(u"x"_s); // the button reads "Stop"
    });
    controller.SearchBtnClick(u"x"_s);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_GT(atStop, 0);
    EXPECT_LT(atStop, 200000);
    QTest::qWait(300);
    EXPECT_LE(state.resultCount, atStop + 1); // at most the link in hand when Stop came
    EXPECT_EQ(server.accepted(), 1);          // a stopped search is not resumed
    EXPECT_EQ(status.text(u"Sockets"_s), u"Active Search Sockets: 0"_s);

    // Stop and a new start in one go: nothing of the stopped page reaches the new search.
    onFirstResults([&] {
        controller.SearchBtnClick(u"x"_s);
        controller.SearchBtnClick(u"y"_s);
    });
    controller.SearchBtnClick(u"x"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state.searchString == "y" && !controller.searching(); }, 10000));
    EXPECT_EQ(serverHosts().join(u' ') + u' ' + QString::number(state.resultCount), u"next.example 1"_s);
}

TEST_F(SearchControllerTest, BlankTextNoEnginesAndZeroSockets)
{
    QSignalSpy changed(&controller, &SearchController::searchingChanged);
    controller.SearchBtnClick(u"   "_s);
    EXPECT_EQ(changed.count() + ftpList.count(), 0);

    // No engines at all: the search ends within the click.
    controller.SearchBtnClick(u"x"_s);
    EXPECT_FALSE(controller.searching());
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(ftpList.count(), 2); // the two roots

    ScriptedServer server;
    setEngines({engineOn(server.port())});
    preferences.maxSearch = 0;
    controller.SearchBtnClick(u"x"_s);
    QTest::qWait(100);
    EXPECT_TRUE(controller.searching());
    EXPECT_EQ(server.accepted(), 0);
    controller.StopSearch();
    EXPECT_FALSE(controller.searching());
}

TEST_F(SearchControllerTest, ASecondSearchStartsEmptyAndKeepsTheServerRecords)
{
    ScriptedServer server([](ScriptedServer::Connection &c) { ScriptedServer::reply(c, httpPage(ftpLinks("again.example", 2))); });
    setEngines({engineOn(server.port()), engineOn(1)}, {2});
    controller.SearchBtnClick(u"x"_s);
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(state.servers.upperBound(), 1);
    EXPECT_FALSE(engines.checked(2)); // inactive engines take no part and stay unticked

    controller.SearchBtnClick(u"y"_s);
    ASSERT_TRUE(waitUntilIdle());
    const int node = ftpList.indexOf(u"ftp://again.example"_s);
    ASSERT_GT(node, 0);
    EXPECT_EQ(QList<int>({state.resultCount, state.servers.upperBound(), ftpList.tag(node).toInt(), server.accepted()}),
              QList<int>({2, 2, 2, 2}));
}

} // namespace
