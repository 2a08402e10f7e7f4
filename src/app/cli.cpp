#include "app/cli.h"

#include "app/command_line.h"
#include "app/core.h"
#include "ftpclient/client_launch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Ctrl-C arrives as a byte on a pipe, so that the event loop, not the signal handler, stops the
// search.
int g_interruptPipe[2] = {-1, -1};

void onInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_interruptPipe[1], &byte, 1);
}

class InterruptWatch final
{
public:
    template<typename Handler>
    explicit InterruptWatch(Handler handler)
    {
        if (::pipe2(g_interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(g_interruptPipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [handler] {
            char bytes[16];
            while (::read(g_interruptPipe[0], bytes, sizeof bytes) > 0) {
            }
            handler();
        });
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        ::sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptWatch()
    {
        if (g_interruptPipe[0] < 0)
            return;
        ::sigaction(SIGINT, &m_previous, nullptr);
        m_notifier.reset();
        ::close(g_interruptPipe[0]);
        ::close(g_interruptPipe[1]);
        g_interruptPipe[0] = g_interruptPipe[1] = -1;
    }
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previous = {};
};

QByteArray rootOf(const Core &core, int node)
{
    return core.ftpList.text(core.ftpList.parentOf(node)).toLatin1();
}

// Engines chosen by name take part whatever their box says; the others sit this search out.
bool chooseEngines(const QStringList &names, NodeTree &engines, QByteArray &problem)
{
    if (names.isEmpty())
        return true;
    QList<bool> chosen(engines.count() + 1, false);
    for (const QString &name : names) {
        bool found = false;
        for (int i = 1; i <= engines.count(); ++i) {
            if (engines.text(i).compare(name, Qt::CaseInsensitive) == 0) {
                chosen[i] = true;
                found = true;
            }
        }
        if (!found) {
            problem = "no engine is named \"" + name.toLocal8Bit() + "\"";
            return false;
        }
    }
    for (int i = 1; i <= engines.count(); ++i)
        engines.setChecked(i, chosen[i]);
    return true;
}

} // namespace

QByteArray jsonString(QByteArrayView utf8)
{
    // Decoding and encoding again turns every invalid sequence into U+FFFD; the rest is escaped
    // byte by byte, which keeps characters beyond the 16-bit range whole.
    const QByteArray valid = QString::fromUtf8(utf8).toUtf8();
    QByteArray json;
    json.reserve(valid.size() + 2);
    json += '"';
    for (const char c : valid) {
        switch (c) {
        case '"':
            json += "\\\"";
            break;
        case '\\':
            json += "\\\\";
            break;
        case '\n':
            json += "\\n";
            break;
        case '\r':
            json += "\\r";
            break;
        case '\t':
            json += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                json += "\\u00" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                json += c;
        }
    }
    json += '"';
    return json;
}

int runSearchCommand(const CommandLine &line, Core &core, QIODevice &out, QIODevice &err, bool progressToTerminal)
{
    Preferences &prefs = core.preferences;
    if (line.maxSearch)
        prefs.maxSearch = *line.maxSearch;
    if (line.maxTest)
        prefs.maxTest = *line.maxTest;
    if (line.useProxy) {
        prefs.useProxy = *line.useProxy;
        if (prefs.useProxy) {
            prefs.proxyAddress = line.proxyAddress;
            prefs.proxyPort = line.proxyPort;
        }
    }
    // Testing follows --test alone here, not the window's "Test Results"; and a one-off search
    // leaves the catalogue's switches as they are.
    prefs.testingEnabled = line.test;
    core.search.setStoreActiveFlags(false);

    QByteArray problem;
    if (!chooseEngines(line.engines, core.enginesList, problem)) {
        err.write("kestrune: " + problem + "\n");
        return 2;
    }
    if (prefs.maxSearch < 1 || (line.test && prefs.maxTest < 1)) {
        err.write("kestrune: the limits of open connections must be at least 1 (--max-search, --max-test)\n");
        return 2;
    }

    core.results.setEntryListener([&core, &out, json = line.json](int record, int node) {
        const ServerRecord &server = core.state.servers[record];
        const int j = server.entryCount();
        const QByteArray root = rootOf(core, node);
        const QByteArray host = core.ftpList.text(node).toLatin1();
        const QByteArrayView path = server.pathView(j);
        const QByteArrayView file = server.fileNameView(j);
        QByteArray row;
        if (json) {
            row = "{\"root\":" + jsonString(root) + ",\"host\":" + jsonString(host) + ",\"server\":"
                  + jsonString(server.ServerURL()) + ",\"path\":" + jsonString(path) + ",\"file\":"
                  + jsonString(file) + ",\"link\":" + jsonString(server.ServerURL() + path.toByteArray() + file.toByteArray())
                  + "}\n";
        } else {
            row = root + '\t' + host + '\t' + server.ServerURL() + '\t' + path.toByteArray() + '\t' + file.toByteArray() + '\n';
        }
        out.write(row);
    });

    // The connections below use this function's locals: they end with it.
    QObject guard;
    int active = 0;
    for (int i = 1; i <= core.enginesList.count(); ++i)
        active += core.enginesList.checked(i);
    int done = 0;
    QElapsedTimer sinceProgress;
    // At most one line a second, rewritten in place; the summary at the end replaces it.
    auto progress = [&] {
        if (!progressToTerminal || (sinceProgress.isValid() && sinceProgress.elapsed() < 1000))
            return;
        sinceProgress.start();
        err.write(QStringLiteral("\r%1 of %2 engines done, %3 results").arg(done).arg(active).arg(core.state.resultCount).toLocal8Bit());
    };
    QObject::connect(&core.search, &SearchController::engineDone, &guard, [&] {
        ++done;
        progress();
    });
    QTimer ticker;
    if (progressToTerminal) {
        QObject::connect(&ticker, &QTimer::timeout, &guard, progress);
        ticker.start(1000);
    }

    bool interrupted = false;
    InterruptWatch interrupt([&] {
        interrupted = true;
        // Stopping the search must not start the tests that were asked for after it.
        prefs.testingEnabled = false;
        if (core.search.searching())
            core.search.StopSearch();
        core.tester.StopTests();
        QCoreApplication::exit(0);
    });

    // The tests are done when no FTP server waits for or is in a test.
    auto testsDone = [&core] {
        for (int i = 1; i <= core.ftpList.count(); ++i) {
            const QString picture = core.ftpList.picture(i);
            if (picture == u"Untested" || picture == u"QuestionMark")
                return false;
        }
        return true;
    };
    QObject::connect(&core.search, &SearchController::searchEnded, &guard, [&] {
        if (!line.test || testsDone())
            QCoreApplication::exit(0);
    });
    if (line.test) {
        QObject::connect(&core.ftpList, &QAbstractItemModel::dataChanged, &guard, [&] {
            if (!core.search.searching() && testsDone())
                QCoreApplication::exit(0);
        });
    }

    core.search.SearchBtnClick(line.searchText);
    if (core.search.searching() || (line.test && !testsDone()))
        QCoreApplication::exec();
    core.results.setEntryListener({});

    if (line.test) {
        for (int i = 1; i <= core.ftpList.count(); ++i) {
            const QString picture = core.ftpList.picture(i);
            if (picture != u"CheckMark" && picture != u"Dead")
                continue;
            const QByteArray host = core.ftpList.text(i).toLatin1();
            const char *mark = picture == u"CheckMark" ? "alive" : "dead";
            if (line.json)
                out.write("{\"test\":" + jsonString(host) + ",\"mark\":\"" + mark + "\"}\n");
            else
                out.write("#test\t" + host + '\t' + mark + '\n');
        }
    }
    if (progressToTerminal)
        err.write("\r\x1b[K");
    err.write(QStringLiteral("kestrune: %1 results from %2 of %3 engines%4\n")
                  .arg(core.state.resultCount)
                  .arg(done)
                  .arg(active)
                  .arg(interrupted ? QStringLiteral(" (stopped)") : QString())
                  .toLocal8Bit());
    return 0;
}

int runHandOffCommand(const CommandLine &line, Core &core, QIODevice &err)
{
    const bool getFile = line.action == CommandLine::Action::Get;
    if (LaunchClient(line.link, getFile, core.preferences, core.profile, core.launcher, core.status))
        return 0;
    err.write("kestrune: " + core.status.text(QStringLiteral("Stats")).toLocal8Bit() + "\n");
    return 1;
}
