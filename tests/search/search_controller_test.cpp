#include "search/search_controller.h"

#include "catalogue/profile.h"
#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"
#include "search/results.h"
#include "search/search_state.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

#include <gtest/gtest.h>

#include "support/peers.h"
#include "support/scripted_server.h"
#include "support/test_files.h"

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

using End = EngineOutcome::End;

QByteArray ftpLinks(const QByteArray &host, int count)
{
    QByteArray page;
    for (int i = 0; i < count; ++i) page += "<a href=\"ftp://" + host + "/pub/song" + QByteArray::number(i) + ".mp3\">x</a>\n";
    return page;
}

QByteArray httpPage(const QByteArray &body) { return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body; }

QString engineOn(int port, const QString &path = {}) { return u"http://127.0.0.1:%1/%2?q=%s"_s.arg(port).arg(path); }

// Writes `bytes` every `ms` for ever, or split into `pieces` parts and then closes.
ScriptedServer::Handler every(int ms, QByteArray bytes, int pieces = 0)
{
    const qsizetype step = pieces ? (bytes.size() + pieces - 1) / pieces : bytes.size();
    return [=](ScriptedServer::Connection &c) {
        auto *timer = new QTimer(c.socket);
        timer->callOnTimeout(c.socket, [=, s = c.socket.data(), sent = 0]() mutable {
            if (s->bytesToWrite() < 1 << 20)
                s->write(bytes.mid(sent * step, step)); // without pieces, `sent` stays 0
            if (pieces && ++sent == pieces) {
                timer->stop();
                s->disconnectFromHost();
            }
        });
        timer->start(ms);
    };
}

struct SearchControllerTest : ::testing::Test
{
    // One engine per template, all ticked but the nodes listed in `inactive`.
    void setEngines(const QStringList &templates, const QList<int> &inactive = {})
    {
        for (const QString &query : templates) {
            const int i = engines.add(query, u"E"_s + QString::number(engines.count() + 1));
            engines.setChecked(i, !inactive.contains(i));
        }
    }
    // The server nodes' hosts, sorted, then the result count.
    QString hostsAndCount() const
    {
        QStringList hosts;
        for (int k = 0; k < ftpList.childCount(1); ++k) // under "FTP"
            hosts << ftpList.text(ftpList.childAt(1, k));
        hosts.sort();
        return (hosts << QString::number(state.resultCount)).join(u' ');
    }
    bool waitUntilIdle(int ms = 10000) { return QTest::qWaitFor([this] { return !controller.searching(); }, ms); }
    // Runs `act` from the event loop once a search's first server node shows, its page still being extracted.
    void onFirstServer(std::function<void()> act)
    {
        QObject::connect(&ftpList, &QAbstractItemModel::rowsInserted, &controller, act,
                         Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    }

    TimeLimits limits{.pageSilence = 1s, .pageTotal = 3s, .pageCap = 16 << 20};
    QTemporaryDir dir;
    Profile profile{dir.path()};
    SearchState state;
    Preferences preferences;
    NodeTree engines{NodeTree::DisplayMode::CheckBoxes};
    NodeTree ftpList{NodeTree::DisplayMode::Pictures}, linksList{NodeTree::DisplayMode::Pictures};
    StatusLine status{statusPanelKeys()};
    Results results{state, ftpList, status};
    SearchController controller{{state, preferences, engines, linksList, status, profile, results}, limits};
};

// Engines beyond maxSearch wait for a page to finish; with no socket allowed, until Stop.
TEST_F(SearchControllerTest, EnginesBeyondMaxSearchWaitForAFinishedPage)
{
    ScriptedServer server([](ScriptedServer::Connection &c) { ScriptedServer::reply(c, httpPage(ftpLinks(c.request.mid(5, 1), 1))); });
    setEngines({engineOn(server.port(), u"a"_s), engineOn(server.port(), u"b"_s), engineOn(server.port(), u"c"_s)});
    for (const int maxSearch : {2, 0}) {
        SCOPED_TRACE(maxSearch);
        preferences.maxSearch = maxSearch;
        controller.SearchBtnClick(u"x"_s);
        EXPECT_EQ(pictureKey(engines.picture(maxSearch)) + u'|' + pictureKey(engines.picture(maxSearch + 1)),
                  maxSearch ? u"QuestionMark|"_s : u"|"_s);
        EXPECT_EQ(status.text(u"Sockets"_s), u"Active Search Sockets: %1"_s.arg(maxSearch));
        if (maxSearch == 0) controller.StopSearch();
        ASSERT_TRUE(waitUntilIdle());
        EXPECT_EQ(hostsAndCount(), maxSearch ? u"a b c 3"_s : u"0"_s);
    }
    EXPECT_EQ(server.accepted(), 3);
    EXPECT_EQ(engines.displayMode(), NodeTree::DisplayMode::CheckBoxes); // the marks are no longer shown
}

// Pages that come faster than they are extracted wait for room: no more than maxSearch are held
// at once, fetched or being extracted.
TEST_F(SearchControllerTest, PagesInHandStayWithinMaxSearch)
{
    QTemporaryDir root;
    NginxPeer nginx(root.path()); // a peer of its own, fast enough to outrun the extraction
    for (int k = 0; k < 8; ++k) {
        QByteArray page; // a server a link: slow to extract, every other page
        for (int i = 0; i < (k % 2 ? 10 : 20000); ++i) page += ftpLinks("h" + QByteArray::number(k) + 'x' + QByteArray::number(i), 1);
        writeBytes(root.filePath(u"h%1"_s.arg(k)), page);
    }
    ASSERT_TRUE(nginx.start()) << nginx.output().toStdString();
    QStringList templates;
    for (int k = 0; k < 8; ++k) templates << engineOn(nginx.port(), u"h%1"_s.arg(k));
    setEngines(templates);
    preferences.maxSearch = 2;
    int most = 0;
    QTimer turn;
    turn.callOnTimeout([&] { most = std::max<int>(most, int(std::count_if(state.pageData.begin(), state.pageData.end(), [](const QByteArray &page) { return !page.isEmpty(); }))); });
    turn.start(0);
    controller.SearchBtnClick(u"x"_s);
    ASSERT_TRUE(waitUntilIdle(30000));
    EXPECT_EQ(state.resultCount, 4 * 20000 + 4 * 10);
    EXPECT_EQ(most, 2);
}

// Each page ends as its peer behaves, and whatever arrived is read.
TEST_F(SearchControllerTest, EachPageEndsAsItsPeerBehaves)
{
    const QByteArray steady = httpPage(ftpLinks("steady.example", 3)), quiet = httpPage(ftpLinks("quiet.example", 2));
    // Each engine's tooltip begins with what it said, or what went wrong.
    const struct { const char *name; ScriptedServer::Handler peer; End end; qsizetype pageBytes; const char *said; } rows[] = { // no peer: refused
        // 30 pieces 50 ms apart outlast the silence limit of one second: each piece restarts it.
        {"SteadyTrickleOutlastsTheSilenceLimit", every(50, steady, 30), End::Closed, steady.size(), "HTTP/1.0 200 OK; "},
        {"SilenceEndsThePageWithWhatArrived", [=](ScriptedServer::Connection &c) { c.socket->write(quiet); }, End::Silent, quiet.size(), "timed out; "},
        {"EndlessTrickleEndsAtTheTotalLimit", every(50, "h"), End::TimedOut, -1, "timed out; "},
        {"FloodIsCutAtTheCap", every(1, QByteArray(256 * 1024, '\xff')), End::TooLarge, limits.pageCap, "page cut at 16 MiB; 16777216 bytes, 0 links"},
        {"RefusedConnectionFails", {}, End::Failed, 0, "connection refused; 0 bytes, 0 links, 0 results, "},
        {"AcceptedAndClosed", [](ScriptedServer::Connection &c) { c.socket->disconnectFromHost(); }, End::Closed, 0, "closed without an answer; "},
        {"RedirectedToThePage", [=](ScriptedServer::Connection &c) {
             ScriptedServer::reply(c, c.request.startsWith("GET /Re") ? "HTTP/1.0 302 Found\r\nLocation: /page\r\n\r\n" : steady); },
         End::Closed, steady.size(), "HTTP/1.0 200 OK; "}};
    std::vector<std::unique_ptr<ScriptedServer>> servers;
    for (const auto &row : rows) {
        servers.push_back(std::make_unique<ScriptedServer>(row.peer));
        setEngines({engineOn(row.peer ? servers.back()->port() : freePort(), QString::fromLatin1(row.name))});
    }
    std::map<int, EngineOutcome> outcomes;
    QObject::connect(&controller, &SearchController::engineFinished, [&](const EngineOutcome &o) { outcomes[o.engine] = o; });
    controller.SearchBtnClick(u"x"_s);
    ASSERT_TRUE(waitUntilIdle(int(limits.pageTotal.count()) + 5000));
    EXPECT_EQ(hostsAndCount(), u"quiet.example steady.example 5"_s);
    for (int i = 1; i <= int(std::size(rows)); ++i) {
        SCOPED_TRACE(rows[i - 1].name);
        EXPECT_EQ(int(outcomes[i].end), int(rows[i - 1].end));
        EXPECT_EQ(outcomes[i].pageBytes, rows[i - 1].pageBytes < 0 ? outcomes[i].pageBytes : rows[i - 1].pageBytes);
        EXPECT_TRUE(state.pageData[i].isEmpty()); // released once extracted
        const QString tip = engines.toolTip(i);
        EXPECT_TRUE(tip.startsWith(QLatin1String(rows[i - 1].said))) << tip.toStdString();
        const bool redirected = i == int(std::size(rows));
        EXPECT_EQ(tip.section(u'\n', 1), redirected ? u"fetched from http://127.0.0.1:%1/page"_s.arg(servers[i - 1]->port()) : QString());
    }
}

// The first piece of a page sizes it once for the whole response when its header is complete and
// names a length, never beyond the cap; otherwise it holds only what arrived.
TEST_F(SearchControllerTest, RoomForAPageFollowsItsAnnouncedLength)
{
    const struct { const char *name; QByteArray head; qsizetype announced; } rows[] = { // -1: no usable length
        {"LengthAfterOneBlank", "HTTP/1.0 200 OK\r\nContent-Length: 1090\r\nServer: s\r\n\r\n", 1090},
        {"LowerCaseLengthWithoutBlank", "HTTP/1.0 200 OK\r\nServer: s\r\ncontent-length:1090\r\n\r\n", 1090},
        {"LengthBeyondTheCap", "HTTP/1.0 200 OK\r\nContent-Length: 99999999\r\n\r\n", 99999999},
        {"NoLength", "HTTP/1.0 200 OK\r\nServer: s\r\n\r\n", -1},
        {"HeaderNotYetWhole", "HTTP/1.0 200 OK\r\nContent-Length: 1090\r\n", -1}};
    // Engine i asks for the path "/i" and gets the head of row i and ten bytes of the body.
    ScriptedServer server([&](ScriptedServer::Connection &c) { c.socket->write(rows[c.request.at(5) - '0'].head + "0123456789"); });
    for (int i = 0; i < 5; ++i) setEngines({engineOn(server.port(), QString::number(i))});
    controller.SearchBtnClick(u"x"_s);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(rows[i].name);
        ASSERT_TRUE(QTest::qWaitFor([&] { return state.pageData[i + 1].size() == rows[i].head.size() + 10; }));
        const qsizetype whole = rows[i].announced < 0 ? rows[i].head.size() + 10 : rows[i].head.size() + rows[i].announced;
        EXPECT_EQ(state.pageData[i + 1].capacity(), std::min(limits.pageCap, whole));
    }
}

// The old page is still arriving (its socket slot is reused at once), or still being extracted.
TEST_F(SearchControllerTest, ANewSearchRightAfterStopGetsNothingOfTheStoppedPage)
{
    ScriptedServer server([](ScriptedServer::Connection &c) {
        const bool old = c.request.startsWith("GET /?q=x ");
        ScriptedServer::reply(c, httpPage(ftpLinks(old ? "old.example" : "new.example", old ? 200000 : 1)));
    });
    setEngines({engineOn(server.port())});
    const auto restart = [this] { controller.SearchBtnClick(u"x"_s); controller.SearchBtnClick(u"y"_s); };
    for (const bool whileExtracting : {false, true}) {
        SCOPED_TRACE(whileExtracting ? "WhileExtracting" : "WhileFetching");
        controller.SearchBtnClick(u"x"_s);
        if (whileExtracting)
            onFirstServer(restart);
        else if (QTest::qWaitFor([&] { return state.pageData[1].size() > 0; }, 60000)) // long: slow under a sanitizer
            restart();
        ASSERT_TRUE(QTest::qWaitFor([&] { return state.searchString == "y" && !controller.searching(); }, 60000));
        EXPECT_EQ(hostsAndCount(), u"new.example 1"_s);
    }
}

// Engines 1 and 3 (2 is unticked) connected to a server that never answers.
struct SearchControllerStop : SearchControllerTest
{
    void SetUp() override
    {
        setEngines({engineOn(silent.port(), u"1"_s), engineOn(silent.port(), u"2"_s), engineOn(silent.port(), u"3"_s)}, {2});
        controller.SearchBtnClick(u"x"_s);
        ASSERT_EQ(engines.picture(2), Picture::None); // not asked
        ASSERT_TRUE(QTest::qWaitFor([&] { return silent.open() == 2; }));
    }
    ScriptedServer silent;
};

TEST_F(SearchControllerStop, ClosesEveryPageStillBeingFetched)
{
    controller.StopSearch();
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent.open() == 0; })) << silent.open();
    EXPECT_EQ(status.text(u"Sockets"_s), u"Active Search Sockets: 0"_s); // a page left open would end later, counted again
    EXPECT_EQ(engines.toolTip(3), u"stopped"_s);
    engines.setChecked(3, false);
    controller.SearchBtnClick(u"y"_s); // only the engines of the last search tell how they went
    EXPECT_EQ(engines.toolTip(3), engines.text(3));
}

TEST_F(SearchControllerStop, TwiceEndsTheSearchOnce)
{
    QSignalSpy ended(&controller, &SearchController::searchEnded);
    controller.StopSearch();
    controller.StopSearch();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(status.text(u"Sockets"_s), u"Active Search Sockets: 0"_s);
}

// Whatever changes the ticks while the marks are shown, the ticks read at the start come back.
TEST_F(SearchControllerStop, BringsBackTheTicksReadAtTheStart)
{
    for (int i = 1; i <= 3; ++i) engines.setChecked(i, !engines.checked(i));
    controller.StopSearch();
    EXPECT_EQ((std::vector{engines.checked(1), engines.checked(2), engines.checked(3)}), (std::vector{true, false, true}));
}

} // namespace
