// Probes per second of the server tester on thousands of loopback servers (half listening, half
// closed), beside the cost of a bare blocking connect + close to the same addresses. --json prints
// the two costs as one JSON line, the table going to standard error.
#include "loopback_servers.h"

#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"
#include "tester/server_tester.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>

namespace {

constexpr int kServers = 5000;
constexpr int kMaxTest = 100;

// state.range(0): how many of the servers, from the first; the rate should not fall with it.
void testAll(benchmark::State &state, const LoopbackServers &servers)
{
    const QList<QByteArray> addresses = servers.addresses().first(state.range(0));
    NodeTree ftpList;
    Preferences preferences;
    preferences.maxTest = kMaxTest;
    StatusLine status(statusPanelKeys());
    ServerTester tester(ftpList, preferences, status);

    int finished = 0;
    int alive = 0;
    QEventLoop loop;
    QObject::connect(&ftpList, &QAbstractItemModel::dataChanged, [&](const QModelIndex &index) {
        const Picture picture = ftpList.picture(ftpList.nodeIndex(index));
        if (picture == Picture::CheckMark)
            ++alive;
        else if (picture != Picture::Dead)
            return;
        if (++finished == addresses.size())
            loop.quit();
    });

    const QString suffix = u':' + QString::number(servers.port());
    for (auto _ : state) {
        state.PauseTiming();
        ftpList.clear();
        const int root = ftpList.add(QStringLiteral("FTP"), QStringLiteral("FTP"), 0, Picture::Engine);
        for (const QByteArray &address : addresses) {
            const QString host = QString::fromLatin1(address);
            ftpList.add(QStringLiteral("ftp://") + host + suffix, host, root, Picture::Untested);
        }
        finished = 0;
        alive = 0;
        state.ResumeTiming();

        tester.StartTests();
        loop.exec();
    }
    state.SetItemsProcessed(state.iterations() * addresses.size());
    if (alive != (addresses.size() + 1) / 2)
        state.SkipWithError("the marks do not match the listening half");
}

void connectAll(benchmark::State &state, const LoopbackServers &servers)
{
    std::vector<sockaddr_in> targets;
    for (const QByteArray &address : servers.addresses()) {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(static_cast<uint16_t>(servers.port()));
        ::inet_pton(AF_INET, address.constData(), &target.sin_addr);
        targets.push_back(target);
    }
    int alive = 0;
    for (auto _ : state) {
        alive = 0;
        for (const sockaddr_in &target : targets) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            alive += ::connect(fd, reinterpret_cast<const sockaddr *>(&target), sizeof target) == 0;
            ::close(fd);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(targets.size()));
    if (alive != static_cast<int>(targets.size()) / 2)
        state.SkipWithError("the connects do not match the listening half");
}

// Prints the usual table, then the two rates side by side (or as JSON).
class SummaryReporter final : public benchmark::ConsoleReporter
{
public:
    explicit SummaryReporter(bool json)
        : ConsoleReporter(OO_Tabular)
        , m_json(json)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (!run.error_occurred && rate != run.counters.end())
                m_rates[run.run_name.function_name + run.run_name.args] = rate->second.value;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double tester = m_rates["ServerTester" + std::to_string(kServers)];
        const double bare = m_rates["BareConnectClose"];
        if (tester <= 0 || bare <= 0)
            return;
        if (m_json) {
            std::printf("{\"scenario\": \"server tester, %d loopback servers (half closed), maxTest %d\", "
                        "\"kestrune\": %.2f, \"peer\": %.2f, \"peer_name\": \"bare blocking connect + close\", "
                        "\"unit\": \"us/server\", \"ratio\": %.4f}\n",
                        kServers, kMaxTest, 1e6 / tester, 1e6 / bare, bare / tester);
            return;
        }
        std::printf("\nserver tester: %.0f probes/s (%.1f us per probe, %d servers, maxTest %d)\n", tester,
                    1e6 / tester, kServers, kMaxTest);
        std::printf("bare connect+close: %.0f per s (%.1f us each)\n", bare, 1e6 / bare);
        std::printf("tester cost per probe / bare connect cost: %.1f\n", bare / tester);
    }

private:
    bool m_json;
    std::map<std::string, double> m_rates;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    LoopbackServers servers(kServers);
    if (!servers.start()) {
        std::fprintf(stderr, "%s\n", servers.error().constData());
        return 1;
    }
    benchmark::RegisterBenchmark("BareConnectClose", connectAll, std::cref(servers))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(4);
    benchmark::RegisterBenchmark("ServerTester", testAll, std::cref(servers))
        ->Arg(kServers / 5)
        ->Arg(kServers)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(4);

    const bool json = app.arguments().contains(QStringLiteral("--json"));
    SummaryReporter reporter(json);
    if (json)
        reporter.SetOutputStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
