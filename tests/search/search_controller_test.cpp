#include "search/search_controller.h"

#include "catalogue/engine_catalogue.h"
#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"
#include "search/results.h"
#include "search/search_state.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include "support/peers.h"
#include "support/scripted_server.h"
#include "support/test_files.h"

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

QByteArray ftpLinks(const QByteArray &host, int count)
{
    QByteArray page;
    for (int i = 0; i < count; ++i)
        page += "<a href=\"ftp://" + host + "/pub/song" + QByteArray::number(i) + ".mp3\">x</a>\n";
    return page;
}

QByteArray httpPage(const QByteArray &body) { return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body; }

QString engineOn(quint16 port, const QString &path = {}) { return u"http://127.0.0.1:%1/%2?q=%s"_s.arg(port).arg(path); }

class SearchControllerTest : public ::testing::Test
{
protected:
    // One engine per template, all ticked but those listed in `inactive`.
    void setEngines(const QStringList &templates, const QList<int> &inactive = {})
    {
        for (int i = 1; i <= templates.size(); ++i)
            engines.setChecked(engines.add(templates[i - 1], u"E"_s + QString::number(i)), !inactive.contains(i));
    }

    // The server nodes' hosts, sorted, then the result count.
    QString hostsAndCount() const
    {
        QStringList hosts;
        for (int i = 1; i <= ftpList.count(); ++i)
            hosts << (ftpList.parentOf(i) != 0 ? ftpList.text(i) : QString());
        hosts.removeAll(QString());
        hosts.sort();
        return (hosts << QString::number(state.resultCount)).join(u' ');
    }

    bool waitUntilIdle(int ms = 10000) { return QTest::qWaitFor([this] { return !controller.searching(); }, ms); }

    // Runs `click` from the event loop once the first results show, while a page is still being
    // extracted however fast or slow the machine.
    void onFirstResults(std::function<void()> click)
    {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(&status, &StatusLine::textChanged, &controller, [=, this](const QString &key) {
            if (key != u"Results" || state.resultCount == 0)
                return;
            QObject::disconnect(*connection);
            QMetaObject::invokeMethod(&controller, click, Qt::QueuedConnection);
        });
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
    TimeLimits limits = [] { TimeLimits l; l.pageSilence = 2s; l.pageTotal = 5s; l.pageCap = 16 << 20; return l; }();
    SearchController controller{{state, preferences, engines, linksList, status, profile, results}, limits};
};

TEST_F(SearchControllerTest, SearchesActiveEnginesDirectlyAndThroughARealProxy)
{
    QTemporaryDir root1, root2;
    writeBytes(root1.filePath(u"search"_s), ftpLinks("alpha.example", 3));
    writeBytes(root2.filePath(u"find"_s), ftpLinks("beta.example", 2) + "<a href=\"http://web.example/madonna-like.mp3\">m</a>"
                                                                     "<a href=\"http://web.example/madonna.html\">page</a>");
    NginxPeer nginx1(root1.path()), nginx2(root2.path());
    ASSERT_TRUE(nginx1.start() && nginx2.start()) << nginx1.output().toStdString() << nginx2.output().toStdString();
    // The inactive third engine takes no part and stays unticked.
    setEngines({engineOn(nginx1.port(), u"search"_s), engineOn(nginx2.port(), u"find"_s) + u"&x=1"_s, engineOn(1)}, {3});
    controller.SearchBtnClick(u" madonna like "_s);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(hostsAndCount(), u"alpha.example beta.example web.example 6"_s);
    EXPECT_EQ(status.text(u"Sockets"_s) + u" | "_s + status.text(u"Queued"_s), u"Active Search Sockets: 0 | Pages Queued: 0"_s);
    EXPECT_TRUE(engines.checked(1) && engines.checked(2) && !engines.checked(3));
    EXPECT_EQ(nginx1.accessLog(),
              QByteArray("200 | GET /search?q=madonna+like HTTP/1.0 | 127.0.0.1 | Kestrune [en] (Win98; U) | */* | "
                         "identity | en | iso-8859-1,*,utf-8 | close | - | -\n"));
    EXPECT_TRUE(nginx2.accessLog().startsWith("200 | GET /find?q=madonna+like&x=1 HTTP/1.0 | "));

    // Again through a real proxy, whose request carries the whole URL: the list and the count start
    // empty, the server records of the first search stay.
    TinyproxyPeer proxy;
    ASSERT_TRUE(proxy.start()) << proxy.output().toStdString();
    preferences.useProxy = true;
    preferences.proxyAddress = u"127.0.0.1"_s;
    preferences.proxyPort = proxy.port();
    controller.SearchBtnClick(u"madonna like"_s);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(hostsAndCount(), u"alpha.example beta.example web.example 6"_s);
    EXPECT_EQ(state.servers.upperBound(), 6);
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
    EXPECT_EQ(pictureKey(engines.picture(10)) + u'|' + pictureKey(engines.picture(11)), u"QuestionMark|"_s);
    EXPECT_EQ(status.text(u"Sockets"_s), u"Active Search Sockets: 10"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.accepted() == 10 && server.connections().last().request.contains("\r\n\r\n"); }));

    // The first engine's page ends: the eleventh starts, and only it.
    ASSERT_TRUE(server.connections()[0].request.startsWith("GET /e1?q=x "));
    ScriptedServer::reply(server.connections()[0], httpPage(ftpLinks("one.example", 1)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return engines.picture(1) == Picture::CheckMark; }));
    EXPECT_EQ(pictureKey(engines.picture(11)) + u'|' + pictureKey(engines.picture(12)), u"QuestionMark|"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.accepted() == 11; }));
    for (int c = 1; c < server.accepted(); ++c)
        ScriptedServer::reply(server.connections()[c], httpPage({}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.accepted() == 12; }));
    ScriptedServer::reply(server.connections()[11], httpPage({}));
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(engines.displayMode(), NodeTree::DisplayMode::CheckBoxes); // the marks are no longer shown
}

// Engines that trickle forever, stream bytes without end, reset mid page, or send a page in
// small pieces and then fall silent: the search still ends, the time limits complete the pages, and
// the results are whole (links cut between pieces too).
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
    const QByteArray page = httpPage(ftpLinks("pieces.example", 5));
    ScriptedServer pieces([&page](ScriptedServer::Connection &c) {
        for (int cut = 0; cut < page.size(); cut += 7)
            QTimer::singleShot(cut / 7, c.socket, [s = c.socket, piece = page.mid(cut, 7)] { s->write(piece); s->flush(); });
    });
    ScriptedServer trickle(every(50, "h")), flood(every(1, QByteArray(256 * 1024, '\xff')));
    ScriptedServer reset([](ScriptedServer::Connection &c) {
        c.socket->write(httpPage(ftpLinks("reset.example", 3) + "<a href=\"ftp://reset.example/cut"));
        c.socket->flush();
        c.socket->abort();
    });
    ScriptedServer good([](ScriptedServer::Connection &c) { ScriptedServer::reply(c, httpPage(ftpLinks("good.example", 40))); });
    QStringList templates;
    for (const ScriptedServer *server : {&trickle, &flood, &reset, &pieces, &good})
        templates << engineOn(server->port());
    setEngines(templates << engineOn(freePort()));
    std::map<int, EngineOutcome> outcomes;
    QObject::connect(&controller, &SearchController::engineFinished, [&](const EngineOutcome &o) { outcomes[o.engine] = o; });
    controller.SearchBtnClick(u"x"_s);
    ASSERT_TRUE(waitUntilIdle(limits.pageTotal.count() + 5000));
    EXPECT_EQ(hostsAndCount(), u"good.example pieces.example reset.example 48"_s);
    EXPECT_TRUE(state.pageData[2].isEmpty()); // released once extracted

    // Each engine says how its page ended (the reset one may read as closed or failed).
    using End = EngineOutcome::End;
    ASSERT_EQ(outcomes.size(), 6u);
    const std::vector<std::pair<int, End>> ends = {{1, End::TimedOut}, {2, End::TooLarge}, {4, End::Silent}, {5, End::Closed}, {6, End::Failed}};
    for (const auto &[engine, end] : ends)
        EXPECT_EQ(outcomes[engine].end, end) << engine;
    EXPECT_EQ(outcomes[2].pageBytes, limits.pageCap);
    EXPECT_EQ(outcomes[5].pageBytes, httpPage(ftpLinks("good.example", 40)).size());
}

TEST_F(SearchControllerTest, StopDuringExtractionEndsThePageAndStartsNothingMore)
{
    ScriptedServer server;
    server.setHandler([&server](ScriptedServer::Connection &c) {
        ScriptedServer::reply(c, httpPage(server.accepted() == 1 ? ftpLinks("big.example", 200000) : ftpLinks("next.example", 1)));
    });
    setEngines({engineOn(server.port(), u"e1"_s), engineOn(server.port(), u"e2"_s), engineOn(server.port(), u"e3"_s)});
    preferences.maxSearch = 1;
    int atStop = -1;
    onFirstResults([&] {
        atStop = state.resultCount;
        controller.SearchBtnClick(u"x"_s); // the button reads "Stop"
    });
    controller.SearchBtnClick(u"x"_s);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_TRUE(atStop > 0 && atStop < 200000) << atStop;
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
    EXPECT_EQ(hostsAndCount(), u"next.example 1"_s);
}

// Without engines the search ends within the click; with no socket allowed it waits, connecting
// nowhere, until stopped. Stop closes every page still being fetched.
TEST_F(SearchControllerTest, NoEnginesEndAtOnceAndZeroSocketsWaitForStop)
{
    ScriptedServer silent;
    setEngines({engineOn(silent.port(), u"a"_s), engineOn(silent.port(), u"b"_s)});
    controller.SearchBtnClick(u"x"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.open() == 2; }));
    controller.StopSearch();
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent.open() == 0; })) << silent.open();
    engines.clear();

    QSignalSpy changed(&controller, &SearchController::searchingChanged);
    controller.SearchBtnClick(u"x"_s);
    EXPECT_EQ(changed.count(), 2);
    setEngines({engineOn(1)});
    preferences.maxSearch = 0;
    controller.SearchBtnClick(u"x"_s);
    EXPECT_TRUE(controller.searching() && engines.picture(1) == Picture::None);
    controller.StopSearch();
    EXPECT_FALSE(controller.searching());
}

} // namespace
