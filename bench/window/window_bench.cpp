// The window at scale. One search typed into the search box adds 1,000,000 results on 100,000
// servers (100 engines on one nginx on loopback) while a 1 ms timer measures how long the event
// loop is held; then a click on the big server (100,000 files) in each layout of the links list,
// timed until the list is painted, beside a stock QTreeView over a QStandardItemModel with the
// same names; resident memory along the way and over repeated searches; and, in a child process
// of its own, a catalogue of 100,000 engines loaded at start-up. There is no other program to
// compare the window with: each figure is set beside the bound it should stay under.
#include "median.h"
#include "result_corpus.h"
#include "support/fakes.h"
#include "support/peers.h"

#include "app/core.h"
#include "app/main_window.h"
#include "catalogue/engine_catalogue.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include <malloc.h>

namespace {

// Every search is stopped after this long, and the catalogue's child process killed.
constexpr std::chrono::seconds kRunLimit{300};
constexpr char kSearchText[] = "live concert";

// What the window should stay under.
constexpr double kStallBoundMs = 50;
constexpr double kShowBoundMs = 300;
constexpr double kSearchResidentBoundMb = 400;
constexpr double kCatalogueGrowthBoundMb = 100;

struct Options
{
    int entries = 1'000'000;
    int servers = 100'000;
    int searches = 4;
    int catalogueEngines = 100'000;
    int clicks = 3; // per layout
    bool json = false;
    bool catalogue = true;
    QString catalogueChild; // the program folder, when this process is the catalogue's child
};

// A field of /proc/self/status ("VmRSS", "VmHWM") in MiB; the rows call it MB.
double statusMb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return 0;
}

double residentMb()
{
    return statusMb("VmRSS");
}

double millisecondsOf(const QElapsedTimer &clock)
{
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Runs whatever is waiting (delayed layouts, update requests, queued calls) until nothing is left.
void drainEvents()
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    for (int round = 0; round < 10000 && dispatcher->processEvents(QEventLoop::AllEvents); ++round) {
    }
}

// A timer that should fire every millisecond: the longest gap between two of its ticks, less the
// millisecond it was meant to wait, is the longest the event loop was held. Where the gap began
// tells which part of the search held it.
struct LoopWatch
{
    LoopWatch()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
        sinceStart.start();
        sinceTick.start();
        timer.start(1);
    }
    void tick()
    {
        if (const qint64 gap = sinceTick.nsecsElapsed(); gap > longestGapNs) {
            longestGapNs = gap;
            longestBeganNs = sinceStart.nsecsElapsed() - gap;
        }
        sinceTick.restart();
    }
    double longestStallMs() const { return std::max(0.0, static_cast<double>(longestGapNs) / 1e6 - 1); }
    double longestBeganS() const { return static_cast<double>(longestBeganNs) / 1e9; }

    QTimer timer;
    QElapsedTimer sinceStart, sinceTick;
    qint64 longestGapNs = 0, longestBeganNs = 0;
};

// One line of the report. Rows with a peer figure also go out as JSON.
struct Row
{
    QString scenario;
    double value = 0;
    QString unit;
    std::optional<double> peer;
    QString peerName;
};

struct Report
{
    void add(const QString &scenario, double value, const QString &unit, double peer, const QString &peerName)
    {
        rows.push_back({scenario, value, unit, peer, peerName});
    }
    void note(const QString &scenario, double value, const QString &unit) { rows.push_back({scenario, value, unit, {}, {}}); }

    std::vector<Row> rows;
    QStringList failures;
};

struct SearchRun
{
    double seconds = 0;
    double longestStallMs = 0;
    double longestBeganS = 0; // after Enter
    int results = 0;
    int enginesDone = 0;
    bool ok = false;
};

// Types the search text into the search box and presses Enter, as a user would, then runs the
// event loop until the search ends (or is stopped at the limit).
SearchRun runSearch(Core &core, QLineEdit &box, int engines)
{
    box.clear();
    QTest::keyClicks(&box, QString::fromLatin1(kSearchText));

    QEventLoop loop;
    SearchSummary summary;
    QObject::connect(&core, &Core::searchEnded, &loop, [&](const SearchSummary &ended) {
        summary = ended;
        loop.quit();
    });
    bool timedOut = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        core.stopSearch();
        loop.quit();
    });

    SearchRun run;
    QElapsedTimer clock;
    // Started before the key: what Enter does before the loop turns again counts as held.
    LoopWatch watch;
    clock.start();
    QTest::keyClick(&box, Qt::Key_Return);
    if (core.searching()) {
        limit.start(kRunLimit);
        loop.exec();
    }
    watch.tick();
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.longestStallMs = watch.longestStallMs();
    run.longestBeganS = watch.longestBeganS();
    run.results = core.resultCount();
    run.enginesDone = summary.enginesDone;
    run.ok = !timedOut && !summary.stopped && summary.enginesDone == engines;
    return run;
}

// The servers under the "FTP" root of the result tree, in the tree's order.
std::vector<int> ftpServers(const NodeTree &ftpList)
{
    const int root = ftpList.indexOf(QStringLiteral("FTP"));
    std::vector<int> nodes;
    for (int row = 0; root != 0 && row < ftpList.childCount(root); ++row)
        nodes.push_back(ftpList.childAt(root, row));
    return nodes;
}

struct Views
{
    QTreeView *servers = nullptr; // "FTPList"
    QTreeView *files = nullptr;   // "LinksList"
};

// Milliseconds from a click on server `node` of the result tree until the links list is filled
// and painted. The node is scrolled into view, and the tree painted, before the clock starts.
double clickServer(const Views &views, NodeTree &ftpList, int node)
{
    const QModelIndex index = ftpList.modelIndex(node);
    views.servers->scrollTo(index);
    views.servers->viewport()->repaint();
    drainEvents();
    const QPoint centre = views.servers->visualRect(index).center();

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(views.servers->viewport(), Qt::LeftButton, {}, centre);
    views.files->viewport()->repaint();
    drainEvents();
    return millisecondsOf(clock);
}

// The same names in a stock QTreeView over a QStandardItemModel, set up as the window's lists are
// (no header, rows of one height) and as large as the links list: milliseconds from filling the
// model to the view painted.
double stockShowMs(const QStringList &names, QSize size)
{
    QTreeView view;
    view.setHeaderHidden(true);
    view.setUniformRowHeights(true);
    view.resize(size);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        return 0;
    drainEvents();

    QElapsedTimer clock;
    clock.start();
    auto *model = new QStandardItemModel(&view);
    for (const QString &name : names)
        model->appendRow(new QStandardItem(name));
    view.setModel(model);
    view.viewport()->repaint();
    drainEvents();
    return millisecondsOf(clock);
}

// The search, the clicks and the repeated searches, in one window.
bool measureWindow(const Options &options, const ResultCorpus &corpus, const QString &home, int closedPort,
                   Report &report)
{
    MemoryPreferenceStore store;
    // The tester would connect to the hosts the pages name: it stays off, and so does the proxy.
    store.values = {{QStringLiteral("TestStopped"), QStringLiteral("0")}, {QStringLiteral("UseProxy"), QStringLiteral("0")}};
    RecordingShell shell;
    RecordingLauncher launcher;
    ScriptedPrompts prompts;
    Core core(home, {store, shell, launcher});
    core.startUp();
    core.update().setServer({"127.0.0.1", closedPort});
    if (core.enginesList().count() != corpus.engines || core.testingEnabled()) {
        report.failures << QStringLiteral("the program folder does not load as prepared");
        return false;
    }
    MainWindow window(core, prompts);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        report.failures << QStringLiteral("the window was never shown");
        return false;
    }
    auto *box = window.findChild<QLineEdit *>(QStringLiteral("SearchText"));
    const Views views{window.findChild<QTreeView *>(QStringLiteral("FTPList")),
                      window.findChild<QTreeView *>(QStringLiteral("LinksList"))};
    if (!box || !views.servers || !views.files) {
        report.failures << QStringLiteral("the window has no search box, FTPList or LinksList");
        return false;
    }
    drainEvents();

    const double before = residentMb();
    std::fprintf(stderr, "searching (%d engines, %d results on %d servers expected) ...\n", corpus.engines,
                 corpus.entries, corpus.servers);
    const SearchRun first = runSearch(core, *box, corpus.engines);
    const double afterSearch = residentMb();
    const double peak = statusMb("VmHWM");
    report.add(QStringLiteral("search, from Enter to its end"), first.seconds, QStringLiteral("s"),
               static_cast<double>(kRunLimit.count()), QStringLiteral("limit %1 s").arg(kRunLimit.count()));
    report.add(QStringLiteral("longest event-loop stall during the search"), first.longestStallMs, QStringLiteral("ms"),
               kStallBoundMs, QStringLiteral("bound 50 ms"));
    report.note(QStringLiteral("  it began, after Enter"), first.longestBeganS, QStringLiteral("s"));
    report.note(QStringLiteral("RSS before the search"), before, QStringLiteral("MB"));
    report.add(QStringLiteral("RSS after the search"), afterSearch, QStringLiteral("MB"), kSearchResidentBoundMb,
               QStringLiteral("bound 400 MB"));
    report.note(QStringLiteral("peak RSS (VmHWM) by the search's end"), peak, QStringLiteral("MB"));
    if (!first.ok) {
        report.failures << QStringLiteral("the first search did not finish: %1 of %2 engines done%3")
                               .arg(first.enginesDone)
                               .arg(corpus.engines)
                               .arg(first.seconds >= static_cast<double>(kRunLimit.count()) ? QStringLiteral(", stopped at the limit")
                                                                                             : QString());
        return false;
    }

    // The search must have found what the pages hold, or its figures are no measure.
    NodeTree &ftpList = core.ftpList();
    const std::vector<int> servers = ftpServers(ftpList);
    const QString bigHost = QString::fromLatin1(corpus.host(0));
    const auto big = std::find_if(servers.begin(), servers.end(), [&](int node) { return ftpList.text(node) == bigHost; });
    const int bigFiles = big == servers.end() ? 0 : core.fileCount(*big);
    std::fprintf(stderr, "%d results (%d expected), %zu servers (%d), big server %s with %d files (%d), in %.1f s\n",
                 first.results, corpus.entries, servers.size(), corpus.servers, qPrintable(bigHost), bigFiles,
                 corpus.bigFiles(), first.seconds);
    if (first.results != corpus.entries || static_cast<int>(servers.size()) != corpus.servers
        || bigFiles != corpus.bigFiles()) {
        report.failures << QStringLiteral("the search found %1 results on %2 servers, the big one with %3 files; "
                                          "the pages hold %4 on %5, %6 on the big one")
                               .arg(first.results)
                               .arg(servers.size())
                               .arg(bigFiles)
                               .arg(corpus.entries)
                               .arg(corpus.servers)
                               .arg(corpus.bigFiles());
        return false;
    }

    // Each layout: a click on a small server (so that the big one's click changes the shown server),
    // the layout chosen in the View menu, then the big server's click, timed; the small and the big
    // server again for each further click. The median of the clicks is the figure: the machine is
    // shared, and one click can be held up by something else.
    std::fprintf(stderr, "clicking the servers ...\n");
    const int small = servers.back();
    const int smallFiles = core.fileCount(small);
    const struct
    {
        const char *name;
        int item;
        int extraRows; // the Detailed layout adds a row per folder
    } layouts[] = {{"List", 1, 0}, {"HalfDetailed", 2, 0}, {"Detailed", 3, corpus.bigFolders()}};
    double listMs = 0;
    for (const auto &layout : layouts) {
        std::vector<double> clicks;
        for (int c = 0; c < options.clicks; ++c) {
            const double smallMs = clickServer(views, ftpList, small);
            // Only the first shows it in an empty list: the later ones also take the big list away.
            if (&layout == layouts && c == 0) {
                report.add(QStringLiteral("show a small server (%1 files), Detailed").arg(smallFiles), smallMs,
                           QStringLiteral("ms"), kShowBoundMs, QStringLiteral("bound 300 ms"));
            }
            if (c == 0) {
                auto *item = window.findChild<QAction *>(QStringLiteral("ViewMenuClick(%1)").arg(layout.item));
                if (!item) {
                    report.failures << QStringLiteral("the View menu has no item %1").arg(layout.item);
                    return false;
                }
                item->trigger();
                drainEvents();
            }
            clicks.push_back(clickServer(views, ftpList, *big));
        }
        const int rows = core.linksList().count();
        const double ms = median(clicks);
        std::fprintf(stderr, "  %-12s median %7.1f ms of", layout.name, ms);
        for (double click : clicks)
            std::fprintf(stderr, " %.1f", click);
        std::fprintf(stderr, "; %d rows\n", rows);
        if (layout.item == 1)
            listMs = ms;
        report.add(QStringLiteral("show the big server (%1 files), %2").arg(bigFiles).arg(QLatin1String(layout.name)), ms,
                   QStringLiteral("ms"), kShowBoundMs, QStringLiteral("bound 300 ms"));
        if (views.servers->currentIndex() != ftpList.modelIndex(*big) || rows != bigFiles + layout.extraRows) {
            report.failures << QStringLiteral("the %1 layout shows %2 rows for the big server, not %3")
                                   .arg(QLatin1String(layout.name))
                                   .arg(rows)
                                   .arg(bigFiles + layout.extraRows);
        }
    }

    QStringList names;
    names.reserve(corpus.bigFiles());
    for (int k = 0; k < corpus.bigFiles(); ++k)
        names.append(QString::fromLatin1(corpus.bigFileName(k)));
    std::vector<double> stock;
    for (int c = 0; c < options.clicks; ++c)
        stock.push_back(stockShowMs(names, views.files->size()));
    names.clear();
    const double stockMs = median(stock);
    report.add(QStringLiteral("show the big server, List, beside a stock QTreeView"), listMs, QStringLiteral("ms"),
               stockMs, QStringLiteral("QStandardItemModel"));
    const double afterClicks = residentMb();
    report.note(QStringLiteral("RSS after the clicks"), afterClicks, QStringLiteral("MB"));

    // The same search again in the same window: what one search leaves behind adds up here.
    bool ok = report.failures.isEmpty();
    double last = afterSearch;
    report.note(QStringLiteral("RSS after search 1"), afterSearch, QStringLiteral("MB"));
    for (int k = 2; k <= options.searches; ++k) {
        std::fprintf(stderr, "search %d of %d ...\n", k, options.searches);
        const SearchRun again = runSearch(core, *box, corpus.engines);
        last = residentMb();
        report.note(QStringLiteral("search %1, from Enter to its end").arg(k), again.seconds, QStringLiteral("s"));
        report.note(QStringLiteral("search %1, longest stall").arg(k), again.longestStallMs, QStringLiteral("ms"));
        report.note(QStringLiteral("  it began, after Enter"), again.longestBeganS, QStringLiteral("s"));
        report.note(QStringLiteral("RSS after search %1").arg(k), last, QStringLiteral("MB"));
        if (!again.ok || again.results != corpus.entries) {
            report.failures << QStringLiteral("search %1 did not finish whole: %2 results, %3 engines done")
                                   .arg(k)
                                   .arg(again.results)
                                   .arg(again.enginesDone);
            ok = false;
            break;
        }
    }
    if (ok && options.searches > 1) {
        report.add(QStringLiteral("RSS after search %1 vs after search 1").arg(options.searches), last,
                   QStringLiteral("MB"), afterSearch, QStringLiteral("first search"));
        // glibc keeps freed memory for reuse: what trimming gives back was free, what stays is held.
        ::malloc_trim(0);
        report.note(QStringLiteral("RSS after search %1, then malloc_trim(0)").arg(options.searches), residentMb(),
                    QStringLiteral("MB"));
    }
    return ok;
}

// In a fresh process (this program again, with --catalogue-child): the program folder's
// settings.dat loaded by Core::startUp, then the window opened over it. Prints one line:
// "ENGINES RSS_BEFORE_MB RSS_AFTER_MB LOAD_MS WINDOW_MS RSS_WINDOW_MB".
int catalogueChild(const QString &folder)
{
    MemoryPreferenceStore store;
    RecordingShell shell;
    RecordingLauncher launcher;
    ScriptedPrompts prompts;
    Core core(folder, {store, shell, launcher});
    const double before = residentMb();
    QElapsedTimer clock;
    clock.start();
    core.startUp();
    const double loadMs = millisecondsOf(clock);
    const double after = residentMb();

    clock.restart();
    MainWindow window(core, prompts);
    window.show();
    drainEvents();
    window.repaint();
    drainEvents();
    const double windowMs = millisecondsOf(clock);
    std::printf("%d %.3f %.3f %.3f %.3f %.3f\n", core.enginesList().count(), before, after, loadMs, windowMs,
                residentMb());
    return 0;
}

bool measureCatalogue(const Options &options, int closedPort, Report &report)
{
    QTemporaryDir home;
    // The engines are never asked; their queries point at a closed port on loopback all the same.
    const QByteArray base = "http://127.0.0.1:" + QByteArray::number(closedPort) + '/';
    if (!home.isValid()
        || !writeFile(QDir(home.path()).filePath(kSettingsFile), catalogueFile(options.catalogueEngines, base))) {
        report.failures << QStringLiteral("the catalogue could not be written");
        return false;
    }
    std::fprintf(stderr, "loading a catalogue of %d engines in a child process ...\n", options.catalogueEngines);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--catalogue-child"), home.path()});
    if (!child.waitForFinished(static_cast<int>(std::chrono::milliseconds(kRunLimit).count()))) {
        child.kill();
        child.waitForFinished(3000);
        report.failures << QStringLiteral("the catalogue's child did not end within %1 s").arg(kRunLimit.count());
        return false;
    }
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || fields.size() != 6) {
        report.failures << QStringLiteral("the catalogue's child failed");
        return false;
    }
    const int engines = fields[0].toInt();
    const QString label = QStringLiteral("catalogue of %1 engines").arg(options.catalogueEngines);
    report.add(label + QStringLiteral(": RSS growth of Core::startUp"), fields[2].toDouble() - fields[1].toDouble(),
               QStringLiteral("MB"), kCatalogueGrowthBoundMb, QStringLiteral("bound 100 MB"));
    report.note(label + QStringLiteral(": Core::startUp"), fields[3].toDouble(), QStringLiteral("ms"));
    report.note(label + QStringLiteral(": window opened and painted"), fields[4].toDouble(), QStringLiteral("ms"));
    report.note(label + QStringLiteral(": RSS with the window"), fields[5].toDouble(), QStringLiteral("MB"));
    if (engines != options.catalogueEngines) {
        report.failures << QStringLiteral("the catalogue loaded %1 engines, not %2").arg(engines).arg(options.catalogueEngines);
        return false;
    }
    return true;
}

QString jsonString(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + quoted + u'"';
}

void print(const Report &report, bool json)
{
    if (json) {
        for (const Row &row : report.rows) {
            if (!row.peer)
                continue;
            std::printf("{\"scenario\": %s, \"kestrune\": %.3f, \"peer\": %.3f, \"peer_name\": %s, \"unit\": %s, "
                        "\"ratio\": %.4f}\n",
                        qPrintable(jsonString(row.scenario)), row.value, *row.peer, qPrintable(jsonString(row.peerName)),
                        qPrintable(jsonString(row.unit)), *row.peer > 0 ? row.value / *row.peer : 0.0);
        }
        return;
    }
    std::printf("\n%-62s %12s  %-30s %7s\n", "scenario", "kestrune", "against", "ratio");
    for (const Row &row : report.rows) {
        const QString value = QStringLiteral("%1 %2").arg(row.value, 0, 'f', row.unit == u"s" ? 2 : 1).arg(row.unit);
        if (row.peer) {
            const QString against = row.peerName.startsWith(u"bound") || row.peerName.startsWith(u"limit")
                                        ? row.peerName
                                        : QStringLiteral("%1 %2 (%3)").arg(*row.peer, 0, 'f', 1).arg(row.unit, row.peerName);
            std::printf("%-62s %12s  %-30s %7.2f\n", qPrintable(row.scenario), qPrintable(value), qPrintable(against),
                        *row.peer > 0 ? row.value / *row.peer : 0.0);
        } else {
            std::printf("%-62s %12s\n", qPrintable(row.scenario), qPrintable(value));
        }
    }
    std::printf("(MB: MiB of VmRSS. Show times run from the click to the links list painted; the stock view's from "
                "filling its model to painted.)\n");
}

bool parse(const QCoreApplication &app, Options &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kestrune's window at scale: a search of a million results, the "
                                                    "big server shown in each layout, memory, a huge catalogue"));
    parser.addHelpOption();
    const QCommandLineOption entries(QStringLiteral("entries"), QStringLiteral("results the pages hold"),
                                     QStringLiteral("n"), QString::number(options.entries));
    const QCommandLineOption servers(QStringLiteral("servers"), QStringLiteral("servers they are on"),
                                     QStringLiteral("n"), QString::number(options.servers));
    const QCommandLineOption searches(QStringLiteral("searches"), QStringLiteral("searches in the same window"),
                                      QStringLiteral("k"), QString::number(options.searches));
    const QCommandLineOption engines(QStringLiteral("catalogue-engines"),
                                     QStringLiteral("engines of the catalogue loaded at start-up"), QStringLiteral("n"),
                                     QString::number(options.catalogueEngines));
    const QCommandLineOption clicks(QStringLiteral("clicks"), QStringLiteral("clicks on the big server per layout"),
                                    QStringLiteral("n"), QString::number(options.clicks));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("one JSON object a line instead of the table"));
    const QCommandLineOption skipCatalogue(QStringLiteral("skip-catalogue"), QStringLiteral("no catalogue run"));
    QCommandLineOption child(QStringLiteral("catalogue-child"), QStringLiteral("(internal) load this program folder"),
                             QStringLiteral("folder"));
    child.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({entries, servers, searches, engines, clicks, json, skipCatalogue, child});
    parser.process(app);

    bool ok[5] = {};
    options.entries = parser.value(entries).toInt(&ok[0]);
    options.servers = parser.value(servers).toInt(&ok[1]);
    options.searches = parser.value(searches).toInt(&ok[2]);
    options.catalogueEngines = parser.value(engines).toInt(&ok[3]);
    options.clicks = parser.value(clicks).toInt(&ok[4]);
    options.json = parser.isSet(json);
    options.catalogue = !parser.isSet(skipCatalogue);
    options.catalogueChild = parser.value(child);
    const ResultCorpus corpus{100, options.entries, options.servers};
    // Every small server needs a file of its own, and the hosts stay within 127.0.0.0/8.
    const bool valid = std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; })
                       && options.entries >= corpus.engines && options.servers >= 2 && options.servers <= 10'000'000
                       && options.servers - 1 <= options.entries - corpus.bigFiles() && options.searches >= 1
                       && options.searches <= 50 && options.catalogueEngines >= 1 && options.clicks >= 1
                       && options.clicks <= 50;
    if (!valid)
        std::fprintf(stderr, "bad options: at least 100 entries, 2..10000000 servers and at least one file for each, "
                     "1..50 searches, at least 1 catalogue engine, 1..50 clicks\n");
    return valid;
}

} // namespace

int main(int argc, char **argv)
{
    // No display is needed, unless the caller chose one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options options;
    if (!parse(app, options))
        return 2;
    if (!options.catalogueChild.isEmpty())
        return catalogueChild(options.catalogueChild);

    // The update server, should anything ask it, is a closed port on loopback (the child inherits it).
    const int closedPort = freePort();
    qputenv("KESTRUNE_UPDATE_SERVER", "127.0.0.1:" + QByteArray::number(closedPort));

    const ResultCorpus corpus{100, options.entries, options.servers};
    QTemporaryDir pages, home;
    if (!pages.isValid() || !home.isValid())
        return 1;
    QElapsedTimer clock;
    clock.start();
    qint64 bytes = 0;
    for (int e = 0; e < corpus.engines; ++e) {
        const QByteArray page = corpus.page(e);
        bytes += page.size();
        if (!writeFile(QDir(pages.path()).filePath(ResultCorpus::pageName(e)), page))
            return 1;
    }
    std::fprintf(stderr, "wrote %d pages, %.1f MiB, in %.1f s\n", corpus.engines, static_cast<double>(bytes) / (1 << 20),
                 static_cast<double>(clock.elapsed()) / 1e3);

    Report report;
    bool ok = true;
    {
        NginxPeer nginx(pages.path(), NginxPeer::Mode::Throughput);
        if (!nginx.start()) {
            std::fprintf(stderr, "nginx did not start: %s\n", nginx.output().constData());
            return 1;
        }
        const QByteArray base = "http://127.0.0.1:" + QByteArray::number(nginx.port()) + '/';
        if (!writeFile(QDir(home.path()).filePath(kSettingsFile), catalogueFile(corpus.engines, base)))
            return 1;
        std::fprintf(stderr, "nginx on 127.0.0.1:%d (pid %lld)\n", nginx.port(), nginx.pid());
        ok = measureWindow(options, corpus, home.path(), closedPort, report);
    }
    if (options.catalogue)
        ok = measureCatalogue(options, closedPort, report) && ok;

    print(report, options.json);
    for (const QString &failure : std::as_const(report.failures))
        std::fprintf(stderr, "FAILED: %s\n", qPrintable(failure));
    return ok ? 0 : 1;
}
