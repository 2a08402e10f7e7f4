// Extraction and grouping speed of a crawl, against ripgrep listing the same links, plus how long
// the event loop waits while a big page is extracted. Exits non-zero when a target is missed.
// --extraction-only and --scan-only run one part many times, for a profiler. --json runs only the
// comparison with ripgrep and prints it as one JSON line, its report going to standard error; it
// exits non-zero only when ripgrep did not list the same links.
#include "test_page.h"

#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "search/detail/page_extraction.h"
#include "search/detail/page_scanner.h"
#include "search/results.h"
#include "search/search_state.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kRuns = 7;

// One search's worth of state, as the application wires it.
struct Crawl
{
    Crawl()
    {
        state.searchString = kBenchSearch;
        results.startSearch();
    }

    SearchState state;
    NodeTree ftpList;
    StatusLine status{statusPanelKeys()};
    Results results{state, ftpList, status};
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

qsizetype countLinks(const QByteArray &page)
{
    PageScanner scanner(page, ParseMode::All, kBenchSearch);
    PageScanner::Link link;
    qsizetype found = 0;
    for (PageScanner::Step step; (step = scanner.next(link)) != PageScanner::Step::Done;)
        found += step == PageScanner::Step::Found;
    return found;
}

// Milliseconds ripgrep takes to list every quoted ftp and http target of the file. Its output
// goes through a pipe that this process reads, as a consumer of the list would, and `lines`
// counts it; or, with `lines` null, to /dev/null.
double timeRipgrep(const QString &file, qsizetype *lines)
{
    QProcess rg;
    if (!lines)
        rg.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    rg.start(QStringLiteral("rg"), {QStringLiteral("-o"), QStringLiteral("-i"),
                                     QStringLiteral("href=\"(ftp|http)://[^\"]*"), file});
    if (!rg.waitForStarted())
        return -1;
    if (lines) {
        *lines = 0;
        while (rg.state() != QProcess::NotRunning || rg.bytesAvailable() > 0) {
            rg.waitForReadyRead(100);
            *lines += rg.readAll().count('\n');
        }
    }
    rg.waitForFinished();
    return clock.nsecsElapsed() / 1e6;
}

// The timed part: a search's start, then the page extracted and every result added the way
// PageExtraction does it, at once.
double timeExtraction(const QByteArray &page, int &results, int &servers)
{
    Crawl crawl;
    QElapsedTimer clock;
    clock.start();
    crawl.results.startSearch();
    ExtractPage(page, ParseMode::All, crawl.state.searchString, crawl.results);
    const double ms = clock.nsecsElapsed() / 1e6;
    results = crawl.state.resultCount;
    servers = crawl.ftpList.count() - 2;
    return ms;
}

struct RipgrepComparison
{
    double kestrune = 0; // ms, median
    double ripgrep = 0;  // ms, median, list read through a pipe
    bool sameLinks = false;
    bool fastEnough() const { return sameLinks && kestrune <= ripgrep / 2; }
};

// Prints its report to `report`.
RipgrepComparison compareWithRipgrep(const QByteArray &page, FILE *report)
{
    QTemporaryFile file;
    if (!file.open() || file.write(page) != page.size() || !file.flush()) {
        std::fprintf(stderr, "cannot write the page\n");
        return {};
    }
    const qsizetype links = countLinks(page);

    std::vector<double> piped, discarded, ours;
    qsizetype rgLines = 0;
    int results = 0, servers = 0;
    for (int run = 0; run < kRuns; ++run) {
        piped.push_back(timeRipgrep(file.fileName(), &rgLines));
        discarded.push_back(timeRipgrep(file.fileName(), nullptr));
        ours.push_back(timeExtraction(page, results, servers));
    }
    const double rg = median(piped), rgQuiet = median(discarded), kestrune = median(ours);
    std::fprintf(report, "page: %.1f MiB, %lld quoted ftp/http links (ripgrep listed %lld), %d results on %d servers\n",
                page.size() / 1048576.0, static_cast<long long>(links), static_cast<long long>(rgLines), results,
                servers);
    std::fprintf(report, "ripgrep, list read through a pipe: %8.1f ms (median of %d)\n", rg, kRuns);
    std::fprintf(report, "ripgrep, list to /dev/null:        %8.1f ms\n", rgQuiet);
    std::fprintf(report, "extraction mode 3 + every result:  %8.1f ms, %.2f GB/s\n", kestrune,
                 page.size() / kestrune / 1e6);
    std::fprintf(report, "ratio to ripgrep through a pipe:   %8.3f (target <= 0.5)\n", kestrune / rg);
    std::fprintf(report, "ratio to ripgrep to /dev/null:     %8.3f\n", kestrune / rgQuiet);
    const bool sameLinks = rg >= 0 && rgLines == links;
    if (!sameLinks)
        std::fprintf(stderr, "ripgrep did not list the same links\n");
    return {kestrune, rg, sameLinks};
}

struct LoopRun
{
    double milliseconds = 0;
    double longestGap = 0; // milliseconds
    int ticks = 0;
    int results = 0;
};

// Extracts the page through the event loop while a 1 ms timer ticks, and notes the longest time
// the timer had to wait.
LoopRun throughEventLoop(const QByteArray &page)
{
    Crawl crawl;
    PageExtraction extraction(crawl.state, crawl.results);
    QEventLoop loop;
    QObject::connect(&extraction, &PageExtraction::finished, &loop, &QEventLoop::quit);

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QElapsedTimer sinceTick;
    LoopRun run;
    qint64 longestGap = 0;
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        longestGap = std::max(longestGap, sinceTick.nsecsElapsed());
        sinceTick.restart();
        ++run.ticks;
    });

    QElapsedTimer total;
    total.start();
    sinceTick.start();
    ticker.start();
    extraction.start(page, ParseMode::All);
    loop.exec();
    longestGap = std::max(longestGap, sinceTick.nsecsElapsed());
    ticker.stop();
    run.milliseconds = total.nsecsElapsed() / 1e6;
    run.longestGap = longestGap / 1e6;
    run.results = crawl.state.resultCount;
    return run;
}

bool measureEventLoopGap(const QByteArray &page)
{
    const LoopRun run = throughEventLoop(page);
    std::printf("through the event loop:            %8.1f ms, %d results, %d timer ticks, longest gap %.2f ms "
                "(target <= 20)\n",
                run.milliseconds, run.results, run.ticks, run.longestGap);
    return run.longestGap <= 20;
}

// 64 MiB pages without a line break that hold almost nothing a link is made of.
void reportOddPages()
{
    constexpr qsizetype kSize = qsizetype(64) * 1024 * 1024;
    const QByteArray last = R"(href="ftp://h/last.mp3")";
    const struct
    {
        const char *name;
        QByteArray page;
    } pages[] = {
        {"one link at the end", QByteArray(kSize, 'x') + last},
        {"a quote that never closes", "href=\"ftp://h/" + QByteArray(kSize, 'x')},
        {"one 64 MiB link", "href=\"ftp://h/" + QByteArray(kSize, 'x') + "\""},
        {"64 MiB of percent signs", "href=\"ftp://h/" + QByteArray(kSize, '%') + "\""},
    };
    std::printf("pages of 64 MiB without a line break:\n");
    for (const auto &odd : pages) {
        Crawl crawl;
        QElapsedTimer clock;
        clock.start();
        ExtractPage(odd.page, ParseMode::All, kBenchSearch, crawl.results);
        const double atOnce = clock.nsecsElapsed() / 1e6;
        const LoopRun run = throughEventLoop(odd.page);
        std::printf("  %-28s %7.1f ms at once, %7.1f ms through the event loop, longest gap %6.2f ms, %d result(s)\n",
                    odd.name, atOnce, run.milliseconds, run.longestGap, run.results);
    }
}

// Speed while one server's record grows to a million entries on a million paths: the page is
// handed over in tenths, each timed on its own.
void reportGrowth()
{
    constexpr int kTotal = 1'000'000;
    constexpr int kParts = 10;
    std::vector<QByteArray> parts;
    for (int part = 0; part < kParts; ++part)
        parts.push_back(makeDistinctPathsPage(kTotal / kParts, part * (kTotal / kParts)));
    Crawl crawl;
    std::printf("one server, distinct paths, speed as the record grows:\n");
    for (int part = 0; part < kParts; ++part) {
        QElapsedTimer clock;
        clock.start();
        ExtractPage(parts[part], ParseMode::All, kBenchSearch, crawl.results);
        const double seconds = clock.nsecsElapsed() / 1e9;
        std::printf("  entries %7d..%7d: %6.2f M links/s\n", part * (kTotal / kParts), (part + 1) * (kTotal / kParts),
                    kTotal / kParts / seconds / 1e6);
    }
    std::printf("  record holds %d entries\n", crawl.state.servers[crawl.state.servers.upperBound()].entryCount());
}

void BM_DistinctPaths(benchmark::State &bench)
{
    const int links = static_cast<int>(bench.range(0));
    const QByteArray page = makeDistinctPathsPage(links);
    for (auto _ : bench) {
        bench.PauseTiming();
        auto crawl = std::make_unique<Crawl>();
        bench.ResumeTiming();
        ExtractPage(page, ParseMode::All, kBenchSearch, crawl->results);
        benchmark::DoNotOptimize(crawl->state.resultCount);
        bench.PauseTiming();
        crawl.reset();
        bench.ResumeTiming();
    }
    bench.SetItemsProcessed(bench.iterations() * links);
    bench.SetBytesProcessed(bench.iterations() * page.size());
}
BENCHMARK(BM_DistinctPaths)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_ScanOnly(benchmark::State &bench)
{
    const QByteArray page = makeResultPage({});
    for (auto _ : bench)
        benchmark::DoNotOptimize(countLinks(page));
    bench.SetBytesProcessed(bench.iterations() * page.size());
}
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    const QByteArray page = makeResultPage({});
    if (app.arguments().contains(QStringLiteral("--extraction-only"))) {
        int results = 0, servers = 0;
        for (int run = 0; run < 20; ++run)
            std::printf("%.1f ms\n", timeExtraction(page, results, servers));
        return 0;
    }
    if (app.arguments().contains(QStringLiteral("--scan-only"))) {
        for (int run = 0; run < 40; ++run)
            benchmark::DoNotOptimize(countLinks(page));
        return 0;
    }
    if (app.arguments().contains(QStringLiteral("--json"))) {
        const RipgrepComparison c = compareWithRipgrep(page, stderr);
        std::printf("{\"scenario\": \"extraction of a %.0f MiB page, every result grouped\", \"kestrune\": %.2f, "
                    "\"peer\": %.2f, \"peer_name\": \"rg -o, list read through a pipe\", \"unit\": \"ms\", "
                    "\"ratio\": %.4f}\n",
                    page.size() / 1048576.0, c.kestrune, c.ripgrep, c.kestrune / c.ripgrep);
        return c.sameLinks ? 0 : 1;
    }
    const bool fastEnough = compareWithRipgrep(page, stdout).fastEnough();
    const bool responsive = measureEventLoopGap(page);
    reportGrowth();
    reportOddPages();
    std::fflush(stdout);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!fastEnough)
        std::fprintf(stderr, "MISSED: extraction takes more than half of ripgrep's time\n");
    if (!responsive)
        std::fprintf(stderr, "MISSED: the event loop waited longer than 20 ms\n");
    return fastEnough && responsive ? 0 : 1;
}
