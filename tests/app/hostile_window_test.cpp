// The window against peers that misbehave: its event loop keeps turning, every search, server test
// and update ends, and resident memory grows by less than three page caps.
#include "app/core.h"
#include "app/main_window.h"
#include "catalogue/engine_catalogue.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <limits>
#include <unistd.h>

#include "support/fakes.h"
#include "support/peers.h"
#include "support/scripted_server.h"
#include "support/test_files.h"
#include "support/widgets.h"

namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

constexpr qsizetype kPageCap = 16 << 20;
#ifdef KESTRUNE_SANITIZED
// The sanitizers make every step several times slower, and their shadow memory and quarantine are
// no measure of the program's.
constexpr qint64 kLongestStallMs = 400;
constexpr qint64 kMostGrowth = std::numeric_limits<qint64>::max();
#else
constexpr qint64 kLongestStallMs = 100;
constexpr qint64 kMostGrowth = 3 * kPageCap;
#endif

qint64 residentBytes()
{
    QFile statm(u"/proc/self/statm"_s);
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

// A timer that should fire every millisecond: the longest gap between two of its ticks is the
// longest the event loop was held, and each tick samples the resident size.
struct LoopWatch
{
    LoopWatch()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            longestGapMs = std::max(longestGapMs, sinceTick.restart());
            peakResident = std::max(peakResident, residentBytes());
        });
        sinceTick.start();
        timer.start(1);
    }
    qint64 growthBytes() const { return peakResident - startResident; }

    QTimer timer;
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0, startResident = residentBytes(), peakResident = startResident;
};

struct HostileWindowTest : ::testing::Test
{
    void SetUp() override
    {
        // Links to two FTP "servers" that misbehave, for the tests after each search.
        good.setHandler([this](ScriptedServer::Connection &c) {
            ScriptedServer::reply(c, QStringLiteral("<a href=\"ftp://127.0.0.1:%1/a.mp3\"></a><a href=\"ftp://localhost:%2/b.mp3\"></a>")
                                         .arg(closing.port()).arg(deaf.port()).toLatin1());
        });
        ASSERT_TRUE(closing.start() && deaf.start());
        QList<CatalogueEngine> engines{{"good", "http://127.0.0.1:" + QByteArray::number(good.port()) + "/?q=%s"}};
        for (HostilePeer &peer : peers) {
            ASSERT_TRUE(peer.start()) << peer.output().toStdString();
            engines.append({peer.mode().toLatin1(), "http://127.0.0.1:" + QByteArray::number(peer.port()) + "/?q=%s", "False"});
        }
        writeBytes(dir.filePath(kSettingsFile), catalogueText(engines));
        store.values = {{u"TestStopped"_s, u"-1"_s}}; // test the servers after each search
        core.startUp();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QTemporaryDir dir;
    ScriptedServer good;
    HostilePeer closing{u"close"_s}, deaf{u"never-accept"_s};
    HostilePeer peers[7]{HostilePeer(u"endless"_s), HostilePeer(u"single-line"_s), HostilePeer(u"trickle"_s), HostilePeer(u"silent"_s),
                         HostilePeer(u"reset"_s),   HostilePeer(u"gzip"_s),        HostilePeer(u"chunked"_s)};
    MemoryPreferenceStore store;
    RecordingShell shell;
    RecordingLauncher launcher;
    ScriptedPrompts prompts;
    Core core{dir.path(), {store, shell, launcher}, {.pageSilence = 2s, .pageTotal = 4s, .pageCap = kPageCap, .serverTest = 2s,
                                                   .updateSilence = 2s, .updateTotal = 4s}};
    MainWindow window{core, prompts};
};

TEST_F(HostileWindowTest, EachSearchAndItsTestsEndWithoutHoldingTheWindow)
{
    for (int engine = 2; engine <= core.enginesList().count(); ++engine) {
        SCOPED_TRACE(core.enginesList().text(engine).toStdString());
        for (int other = 2; other <= core.enginesList().count(); ++other)
            core.enginesList().setChecked(other, other == engine);
        const LoopWatch watch;
        part<QLineEdit>(window, u"SearchText"_s)->setText(u"song"_s);
        QTest::keyClick(part<QLineEdit>(window, u"SearchText"_s), Qt::Key_Return);
        ASSERT_TRUE(core.searching());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !core.searching() && core.allServersTested(); }, 60000));
        EXPECT_LE(watch.longestGapMs, kLongestStallMs);
        EXPECT_LT(watch.growthBytes(), kMostGrowth);
        QStringList marks;
        for (const TestedServer &server : core.testedServers())
            marks << QString::fromLatin1(server.host) + (server.mark == ServerMark::Alive ? u" alive"_s : u" dead"_s);
        EXPECT_TRUE(marks.contains(u"127.0.0.1 alive"_s) && marks.contains(u"localhost dead"_s)) << marks.join(u", "_s).toStdString();
    }
}

TEST_F(HostileWindowTest, TheUpdateWindowEndsWithAnErrorWhateverTheServerSends)
{
    for (HostilePeer &peer : peers) {
        SCOPED_TRACE(peer.mode().toStdString());
        core.update().setServer({"127.0.0.1", quint16(peer.port())});
        const LoopWatch watch;
        QString shown;
        prompts.steps = {[&](QDialog &form) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return part<QLineEdit>(form, u"tCheck"_s)->text().startsWith(u"Error occured"_s); }, 30000));
            shown = part<QLineEdit>(form, u"tCheck"_s)->text();
            form.close();
        }};
        part<QAction>(window, u"HelpMenuClick(2)"_s)->trigger();
        EXPECT_EQ(shown, u"Error occured"_s);
        EXPECT_LE(watch.longestGapMs, kLongestStallMs);
        EXPECT_LT(watch.growthBytes(), kMostGrowth);
    }
}

} // namespace
