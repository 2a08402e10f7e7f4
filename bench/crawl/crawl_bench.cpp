// A whole search, from the click to the last engine done, against 200 engines on one nginx on
// loopback (over http, https or both), beside `curl --parallel | rg -o` fetching the same pages and
// listing the same links. The two alternate over several repetitions; the medians are compared.
// --json prints the comparison as one JSON line per protocol, the report going to standard error.
#include "median.h"
#include "engine_pages.h"
#include "support/peers.h"

#include "app/core.h"
#include "catalogue/engine_catalogue.h"
#include "platform/launcher.h"
#include "platform/shell.h"
#include "prefs/preferences.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// Every run stops by itself: a search is stopped, and curl is killed, after this long.
constexpr std::chrono::seconds kRunLimit{120};

class MemoryStore final : public PreferenceStore
{
public:
    QString read(const QString &key, const QString &defaultValue) const override
    {
        return m_values.value(key, defaultValue);
    }
    bool write(const QString &key, const QString &value) override
    {
        m_values.insert(key, value);
        return true;
    }

private:
    QHash<QString, QString> m_values;
};

// Nothing is opened or started from a benchmark.
class NoShell final : public Shell
{
public:
    void open(const QString &) override {}
};

class NoLauncher final : public Launcher
{
public:
    bool start(const QString &, const QStringList &) override { return false; }
};

// User + system CPU seconds of this process, or of its children that have ended and been waited
// for (bash, curl and rg once QProcess has reaped them).
double cpuSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// User + system CPU seconds of another process so far, from /proc (clock-tick resolution).
double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which may hold blanks, start behind its ")".
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return static_cast<double>(fields[11].toLongLong() + fields[12].toLongLong())
           / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

struct Options
{
    int engines = 200;
    int links = 2000;
    qsizetype pageSize = qsizetype(1) << 20;
    int maxSearch = 10;
    int repetitions = 9;
    bool kestrune = true;
    bool curl = true;
    bool timeline = false;
    bool plain = true; // measure over http
    bool tls = false;  // measure over https (after http when both)
    bool json = false;
};

struct Corpus
{
    int hrefLinks = 0;
    int expectedResults = 0;
};

// The same pages reached one way: plain http, or https on nginx's second port.
struct Target
{
    QString name;
    QByteArray base;           // "http://127.0.0.1:PORT/" or "https://..."
    QString home;              // program folder whose settings.dat lists the engines at `base`
    QStringList curlArguments; // --cacert for https
    QStringList urls;          // the query URL of each engine with the search text in it
};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Page files "e001"... in `pageRoot`.
bool writePages(const Options &options, const QString &pageRoot, Corpus &corpus)
{
    QSet<QByteArray> keys;
    EnginePageCounts counts;
    for (int e = 1; e <= options.engines; ++e) {
        const QByteArray page = makeEnginePage(e, {options.pageSize, options.links}, counts, keys);
        if (page.size() != options.pageSize) {
            std::fprintf(stderr, "page %d has %lld bytes, not %lld\n", e, static_cast<long long>(page.size()),
                         static_cast<long long>(options.pageSize));
            return false;
        }
        if (!writeFile(QDir(pageRoot).filePath(QStringLiteral("e%1").arg(e, 3, 10, QLatin1Char('0'))), page))
            return false;
    }
    corpus.hrefLinks = counts.hrefLinks;
    corpus.expectedResults = static_cast<int>(keys.size());
    return true;
}

// settings.dat of a program folder listing every engine, all active.
bool writeCatalogue(const Options &options, Target &target)
{
    const QByteArray &base = target.base;
    const QByteArray search = QByteArray(kCrawlSearchText).replace(' ', '+');
    QByteArray file = "[Engines]\r\nCount=" + QByteArray::number(options.engines) + "\r\n";
    for (int e = 1; e <= options.engines; ++e)
        file += "Name" + QByteArray::number(e) + "=Engine" + QByteArray::number(e) + "\r\n";
    for (int e = 1; e <= options.engines; ++e) {
        const QByteArray page = QStringLiteral("e%1").arg(e, 3, 10, QLatin1Char('0')).toLatin1();
        file += "[Engine" + QByteArray::number(e) + "]\r\nURL=" + base + "\r\nQUERY=" + base + page
                + "?q=%s\r\nActive=True\r\n";
        target.urls.append(QString::fromLatin1(base + page + "?q=" + search));
    }
    return writeFile(QDir(target.home).filePath(kSettingsFile), file);
}

struct KestruneRun
{
    double seconds = 0;
    double firstDone = 0; // seconds from the click to the first engine done
    double cpu = 0;       // CPU seconds of the search (this process)
    int results = 0;
    int enginesDone = 0;
    bool ok = false;
};

KestruneRun runKestrune(const Options &options, const QString &home)
{
    KestruneRun run;
    MemoryStore store;
    store.write(QStringLiteral("max_search"), QString::number(options.maxSearch));
    // The tester would connect to the hosts the pages name: it stays off.
    store.write(QStringLiteral("TestStopped"), QStringLiteral("0"));
    NoShell shell;
    NoLauncher launcher;
    {
        Core core(home, {store, shell, launcher});
        core.startUp();
        if (core.enginesList().count() != options.engines || core.preferences().maxSearch != options.maxSearch
            || core.testingEnabled()) {
            std::fprintf(stderr, "the program folder does not load as prepared\n");
            return run;
        }

        QEventLoop loop;
        QElapsedTimer clock;
        std::vector<double> doneAt;
        QObject::connect(&core, &Core::engineFinished, &loop, [&] {
            doneAt.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        });
        QObject::connect(&core, &Core::searchEnded, &loop, &QEventLoop::quit);
        bool timedOut = false;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            core.stopSearch();
        });
        limit.start(kRunLimit);

        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        clock.start();
        if (core.startSearch(QString::fromLatin1(kCrawlSearchText)))
            loop.exec();
        run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        run.cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
        run.results = core.resultCount();
        run.enginesDone = static_cast<int>(doneAt.size());
        run.firstDone = doneAt.empty() ? 0 : doneAt.front();
        run.ok = !timedOut && run.enginesDone == options.engines;
        if (options.timeline) {
            std::printf("search of %.1f ms, engines done:\n", run.seconds * 1e3);
            for (std::size_t k = 0; k < doneAt.size(); ++k)
                std::printf("  done %3zu at %8.2f ms\n", k + 1, doneAt[k] * 1e3);
        }
    }
    // Sockets and extraction jobs go with deleteLater; let them go before the next run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return run;
}

struct CurlRun
{
    double seconds = 0;
    double cpu = 0; // CPU seconds of bash, curl and rg
    int links = 0;
    bool ok = false;
};

CurlRun runCurl(const Options &options, const Target &target, const QString &listing)
{
    CurlRun run;
    QFile::remove(listing);
    // pipefail: a failed fetch is not hidden behind rg's success. (--silent alone still draws
    // curl 7.88's parallel progress meter.)
    const QString script = QStringLiteral(
        "set -o pipefail; curl --no-progress-meter --show-error --parallel --parallel-max \"$1\" --max-time %1 \"${@:3}\""
        " | rg -o -i 'href=\"(ftp|http)://[^\"]*' > \"$2\"")
        .arg(kRunLimit.count() / 2);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral("/bin/bash"), QStringList{QStringLiteral("-c"), script, QStringLiteral("crawl"),
                                                           QString::number(options.maxSearch), listing}
                                                   + target.curlArguments + target.urls);
    const bool finished = process.waitForFinished(static_cast<int>(std::chrono::milliseconds(kRunLimit).count()));
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (!finished) {
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished(3000);
        return run;
    }
    run.cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    QFile file(listing);
    if (file.open(QIODevice::ReadOnly))
        run.links = static_cast<int>(file.readAll().count('\n'));
    run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return run;
}

int medianOf(std::vector<int> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

bool parse(const QCoreApplication &app, Options &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A whole Kestrune search against curl --parallel | rg -o"));
    parser.addHelpOption();
    const QCommandLineOption engines(QStringLiteral("engines"), QStringLiteral("engines (pages), 1..999"),
                                     QStringLiteral("n"), QString::number(options.engines));
    const QCommandLineOption links(QStringLiteral("links"), QStringLiteral("anchors per page"), QStringLiteral("n"),
                                   QString::number(options.links));
    const QCommandLineOption pageKib(QStringLiteral("page-kib"), QStringLiteral("page size in KiB"),
                                     QStringLiteral("n"), QString::number(options.pageSize / 1024));
    const QCommandLineOption maxSearch(QStringLiteral("max-search"), QStringLiteral("pages fetched at once"),
                                       QStringLiteral("n"), QString::number(options.maxSearch));
    const QCommandLineOption repetitions(QStringLiteral("repetitions"), QStringLiteral("measured runs of each"),
                                         QStringLiteral("n"), QString::number(options.repetitions));
    const QCommandLineOption only(QStringLiteral("only"), QStringLiteral("run one side: kestrune or curl"),
                                  QStringLiteral("side"));
    const QCommandLineOption timeline(QStringLiteral("timeline"),
                                      QStringLiteral("print when each engine was done in each search"));
    const QCommandLineOption tls(QStringLiteral("tls"),
                                 QStringLiteral("fetch the pages over https (nginx with a certificate from a CA of "
                                                "the run's own) instead of http"));
    const QCommandLineOption both(QStringLiteral("both"),
                                  QStringLiteral("measure over http, then over https, and compare the two"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("print the medians of both sides as JSON lines, the report to "
                                                 "standard error"));
    parser.addOptions({engines, links, pageKib, maxSearch, repetitions, only, timeline, tls, both, json});
    parser.process(app);

    bool ok[5] = {};
    options.engines = parser.value(engines).toInt(&ok[0]);
    options.links = parser.value(links).toInt(&ok[1]);
    options.pageSize = qsizetype(parser.value(pageKib).toInt(&ok[2])) * 1024;
    options.maxSearch = parser.value(maxSearch).toInt(&ok[3]);
    options.repetitions = parser.value(repetitions).toInt(&ok[4]);
    options.timeline = parser.isSet(timeline);
    options.json = parser.isSet(json);
    options.plain = !parser.isSet(tls) || parser.isSet(both);
    options.tls = parser.isSet(tls) || parser.isSet(both);
    if (parser.isSet(only)) {
        options.kestrune = parser.value(only) == u"kestrune";
        options.curl = parser.value(only) == u"curl";
    }
    const bool valid = std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }) && options.engines >= 1
                       && options.engines <= 999 && options.links >= 1 && options.pageSize >= qsizetype(options.links) * 400
                       && options.maxSearch >= 1 && options.repetitions >= 1 && options.repetitions <= 50
                       && (options.kestrune || options.curl);
    if (!valid)
        std::fprintf(stderr, "bad options: engines 1..999, at least 400 bytes of page per anchor, 1..50 repetitions, "
                     "--only kestrune or curl\n");
    return valid;
}

struct Medians
{
    double kestrune = 0; // seconds
    double curl = 0;
    bool ok = false;            // every run finished in time
    bool kestruneShort = false; // fewer results than the pages hold: some fetches failed
};

// Warms up, runs both sides alternately over `target` and prints the medians; nothing when a
// warm-up run failed.
std::optional<Medians> measure(const Options &options, const Corpus &corpus, const Target &target,
                               const NginxPeer &nginx, const QString &listing)
{
    std::printf("\nover %s:\n", qPrintable(target.name));
    // One unmeasured run of each first: the pages in the page cache, nginx's and the libraries'
    // first-use costs paid.
    if (options.kestrune && !runKestrune(options, target.home).ok) {
        std::fprintf(stderr, "the warm-up search over %s did not finish\n", qPrintable(target.name));
        return std::nullopt;
    }
    if (options.curl && !runCurl(options, target, listing).ok) {
        std::fprintf(stderr, "the warm-up curl | rg over %s did not finish\n", qPrintable(target.name));
        return std::nullopt;
    }

    // Per side: wall time, CPU time of the client, CPU time nginx spent serving it.
    struct Side
    {
        std::vector<double> seconds, cpu, server;
        std::vector<int> count;
    } kestruneSide, curlSide;
    std::vector<double> firstDone;
    bool allOk = true;
    std::printf("\n%-4s %14s %9s %10s %16s %9s %10s\n", "run", "kestrune (ms)", "cpu (ms)", "results",
                "curl | rg (ms)", "cpu (ms)", "links");
    for (int r = 0; r < options.repetitions; ++r) {
        KestruneRun k;
        CurlRun c;
        // Alternating the order spreads any drift of the machine over both sides.
        const bool kestruneFirst = r % 2 == 0;
        for (int side = 0; side < 2; ++side) {
            const double serverBefore = processCpuSeconds(nginx.pid());
            if ((side == 0) == kestruneFirst) {
                if (!options.kestrune)
                    continue;
                k = runKestrune(options, target.home);
                allOk = allOk && k.ok;
                kestruneSide.seconds.push_back(k.seconds);
                kestruneSide.cpu.push_back(k.cpu);
                kestruneSide.server.push_back(processCpuSeconds(nginx.pid()) - serverBefore);
                kestruneSide.count.push_back(k.results);
                firstDone.push_back(k.firstDone);
            } else if (options.curl) {
                c = runCurl(options, target, listing);
                allOk = allOk && c.ok;
                curlSide.seconds.push_back(c.seconds);
                curlSide.cpu.push_back(c.cpu);
                curlSide.server.push_back(processCpuSeconds(nginx.pid()) - serverBefore);
                curlSide.count.push_back(c.links);
            }
        }
        std::printf("%-4d %14.1f %9.0f %10d %16.1f %9.0f %10d%s\n", r + 1, k.seconds * 1e3, k.cpu * 1e3, k.results,
                    c.seconds * 1e3, c.cpu * 1e3, c.links,
                    (options.kestrune && !k.ok) || (options.curl && !c.ok) ? "  (failed or timed out)" : "");
    }

    const double kestrune = median(kestruneSide.seconds);
    const double curl = median(curlSide.seconds);
    const double megabytes = static_cast<double>(qsizetype(options.engines) * options.pageSize) / (1 << 20);
    std::printf("\nmedians of %d runs, %.0f MiB fetched per run (CPU: the client's user+system; nginx's to serve it):\n",
                options.repetitions, megabytes);
    if (options.kestrune) {
        std::printf("  kestrune search:  %8.1f ms  %5.0f MiB/s  CPU %4.0f ms, nginx %4.0f ms; first engine done after "
                    "%.1f ms; %d results (%d expected)\n",
                    kestrune * 1e3, megabytes / kestrune, median(kestruneSide.cpu) * 1e3,
                    median(kestruneSide.server) * 1e3, median(firstDone) * 1e3, medianOf(kestruneSide.count),
                    corpus.expectedResults);
    }
    if (options.curl) {
        std::printf("  curl | rg -o:     %8.1f ms  %5.0f MiB/s  CPU %4.0f ms, nginx %4.0f ms; %d links listed "
                    "(%d hrefs on the pages)\n",
                    curl * 1e3, megabytes / curl, median(curlSide.cpu) * 1e3, median(curlSide.server) * 1e3,
                    medianOf(curlSide.count), corpus.hrefLinks);
    }
    // A search whose fetches fail ends early: its time would look like a win.
    const int kestruneResults = medianOf(kestruneSide.count);
    const bool kestruneShort = options.kestrune && kestruneResults < corpus.expectedResults;
    if (options.kestrune && options.curl) {
        std::printf("  kestrune / (curl | rg): time %.2f%s, CPU %.2f\n", kestrune / curl,
                    kestruneShort ? " (not comparable, see below)" : kestrune <= curl ? " (no slower)" : " (slower)",
                    median(kestruneSide.cpu) / median(curlSide.cpu));
    }
    if (kestruneShort) {
        std::printf("  WARNING: over %s kestrune found only %d of the %d results the pages hold", qPrintable(target.name),
                    kestruneResults, corpus.expectedResults);
        if (options.curl)
            std::printf(" (curl | rg listed %d of %d links)", medianOf(curlSide.count), corpus.hrefLinks);
        std::printf(": some of its fetches failed, and its time is not that of a whole search\n");
    } else if (options.kestrune && kestruneResults != corpus.expectedResults) {
        std::printf("  note: kestrune's result count differs from the expected count\n");
    }
    if (options.curl && medianOf(curlSide.count) != corpus.hrefLinks) {
        std::printf("  note: rg listed a different number of links than the pages hold (curl interleaves the "
                    "parallel pages on its output, and a link cut there is lost)\n");
    }
    return Medians{kestrune, curl, allOk, kestruneShort};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parse(app, options))
        return 2;
    // With --json, standard output carries the JSON lines alone: the report goes to standard error.
    FILE *json = nullptr;
    if (options.json) {
        json = ::fdopen(::dup(STDOUT_FILENO), "w");
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
    }

    QTemporaryDir pages, plainHome, tlsHome, work;
    if (!pages.isValid() || !plainHome.isValid() || !tlsHome.isValid() || !work.isValid())
        return 1;
    Corpus corpus;
    QElapsedTimer clock;
    clock.start();
    if (!writePages(options, pages.path(), corpus))
        return 1;
    std::printf("wrote %d pages of %lld KiB in %.1f s\n", options.engines,
                static_cast<long long>(options.pageSize / 1024), static_cast<double>(clock.elapsed()) / 1e3);

    NginxPeer nginx(pages.path(), NginxPeer::Mode::Throughput);
    const QDir certificates(work.path());
    const QString caFile = certificates.filePath(QStringLiteral("CA.crt"));
    const int tlsPort = options.tls ? freePort() : 0;
    if (options.tls) {
        if (!makeCertificate(work.path(), QStringLiteral("CA"))
            || !makeCertificate(work.path(), QStringLiteral("localhost"), QStringLiteral("CA"),
                                QStringLiteral("IP:127.0.0.1,DNS:localhost"))) {
            std::fprintf(stderr, "openssl did not make the certificates\n");
            return 1;
        }
        // Only our CA is added to the trust; verification stays on, as for any user.
        qputenv("KESTRUNE_CA_FILE", QFile::encodeName(caFile));
        nginx.setExtraConfig(QStringLiteral("  server {\n"
                                            "    listen 127.0.0.1:%1 ssl;\n"
                                            "    ssl_certificate %2;\n"
                                            "    ssl_certificate_key %3;\n"
                                            "    root %4;\n"
                                            "  }\n")
                                 .arg(tlsPort)
                                 .arg(certificates.filePath(QStringLiteral("localhost.crt")),
                                      certificates.filePath(QStringLiteral("localhost.key")), pages.path()));
    }
    if (!nginx.start() || (options.tls && !waitForPort(tlsPort))) {
        std::fprintf(stderr, "nginx did not start: %s\n", nginx.output().constData());
        return 1;
    }

    std::vector<Target> targets;
    if (options.plain) {
        targets.push_back({QStringLiteral("http"), "http://127.0.0.1:" + QByteArray::number(nginx.port()) + '/',
                           plainHome.path(), {}, {}});
    }
    if (options.tls) {
        targets.push_back({QStringLiteral("https"), "https://127.0.0.1:" + QByteArray::number(tlsPort) + '/',
                           tlsHome.path(), {QStringLiteral("--cacert"), caFile}, {}});
    }
    for (Target &target : targets) {
        if (!writeCatalogue(options, target))
            return 1;
    }
    const QString listing = QDir(work.path()).filePath(QStringLiteral("links.txt"));

    std::printf("%d engines on nginx 127.0.0.1:%d", options.engines, nginx.port());
    if (options.tls)
        std::printf(" and https on 127.0.0.1:%d", tlsPort);
    std::printf(" (pid %lld), %d anchors a page, %d ftp/http hrefs in all, %d distinct results expected; "
                "maxSearch %d; search \"%s\"\n",
                nginx.pid(), options.links, corpus.hrefLinks, corpus.expectedResults, options.maxSearch,
                kCrawlSearchText);

    bool ok = true;
    std::vector<Medians> medians;
    for (const Target &target : targets) {
        const std::optional<Medians> m = measure(options, corpus, target, nginx, listing);
        if (!m)
            return 1;
        medians.push_back(*m);
        ok = ok && m->ok;
    }
    nginx.stop();

    if (targets.size() > 1 && options.kestrune && options.curl) {
        std::printf("\nkestrune / (curl | rg), medians of the same run:\n");
        for (std::size_t t = 0; t < targets.size(); ++t) {
            std::printf("  %-5s  kestrune %8.1f ms  curl | rg %8.1f ms  ratio %.2f%s\n", qPrintable(targets[t].name),
                        medians[t].kestrune * 1e3, medians[t].curl * 1e3, medians[t].kestrune / medians[t].curl,
                        medians[t].kestruneShort ? "  (kestrune fell short of the results)" : "");
        }
    }
    if (json && options.kestrune && options.curl) {
        for (std::size_t t = 0; t < targets.size(); ++t) {
            std::fprintf(json,
                         "{\"scenario\": \"whole search of %d engines (%lld KiB pages) over %s\", \"kestrune\": %.4f, "
                         "\"peer\": %.4f, \"peer_name\": \"curl --parallel-max %d | rg -o\", \"unit\": \"s\", "
                         "\"ratio\": %.4f%s}\n",
                         options.engines, static_cast<long long>(options.pageSize / 1024), qPrintable(targets[t].name),
                         medians[t].kestrune, medians[t].curl, options.maxSearch, medians[t].kestrune / medians[t].curl,
                         medians[t].kestruneShort ? ", \"ok\": false, \"note\": \"kestrune fell short of the results\""
                                                  : "");
        }
        std::fclose(json);
    }
    return ok ? 0 : 1;
}
