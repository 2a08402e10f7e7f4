#include "app/cli.h"

#include "app/command_line.h"
#include "app/core.h"
#include "platform/byte_text.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDevice>
#include <QIODevice>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <poll.h>
#include <utility>
#include <sys/stat.h>
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

QByteArray jsonString(QByteArrayView bytes)
{
    QByteArray json;
    appendJsonString(json, bytes);
    return json;
}

void appendJsonString(QByteArray &json, QByteArrayView bytes)
{
    // Written through a pointer into room for the longest escape of every byte: appending byte by
    // byte costs more than the rest of a big search's output.
    const qsizetype old = json.size();
    json.resize(old + 6 * bytes.size() + 2);
    char *out = json.data() + old;
    const auto put = [&out](const char *text) {
        while (*text)
            *out++ = *text++;
    };
    *out++ = '"';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            put("\\\"");
            break;
        case '\\':
            put("\\\\");
            break;
        case '\n':
            put("\\n");
            break;
        case '\r':
            put("\\r");
            break;
        case '\t':
            put("\\t");
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                put("\\u00");
                *out++ = "0123456789abcdef"[byte >> 4];
                *out++ = "0123456789abcdef"[byte & 15];
            } else if (byte >= 0x80) {
                // The character of the same number, in UTF-8: each byte comes back whole.
                *out++ = static_cast<char>(0xc0 | (byte >> 6));
                *out++ = static_cast<char>(0x80 | (byte & 0x3f));
            } else {
                *out++ = c;
            }
        }
    }
    *out++ = '"';
    json.resize(out - json.constData());
}

namespace {

// The results' way out. A write that fails is remembered and ends the search; a pipe whose reader
// has gone (`| head`) counts as closed, which is a stop like Ctrl-C, found out also while nothing
// is being written.
class ResultOutput final
{
public:
    enum class State { Open, Closed, Failed };

    template<typename Handler>
    ResultOutput(QIODevice &out, Handler onEnd)
        : m_out(out)
        , m_file(qobject_cast<QFileDevice *>(&out))
        , m_onEnd(std::move(onEnd))
    {
        struct stat info = {};
        const int fd = m_file ? m_file->handle() : -1;
        // The write end of a pipe reports only an error, once the reader has closed it. (A FIFO
        // opened for reading too would report our own unread output, over and over.)
        if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode) && (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_WRONLY) {
            m_readerGone = new QSocketNotifier(fd, QSocketNotifier::Read, &m_context);
            QObject::connect(m_readerGone, &QSocketNotifier::activated, &m_context, [this] {
                if (peerClosed())
                    end(State::Closed);
            });
        }
    }

    State state() const { return m_state; }
    QString problem() const { return m_problem; }

    void write(const QByteArray &bytes)
    {
        if (m_state == State::Open && m_out.write(bytes) != bytes.size())
            failed();
    }
    void flush()
    {
        if (m_state == State::Open && m_file && !m_file->flush())
            failed();
    }

private:
    bool peerClosed() const
    {
        pollfd p = {m_file ? m_file->handle() : -1, 0, 0};
        return p.fd >= 0 && ::poll(&p, 1, 0) == 1 && (p.revents & (POLLERR | POLLHUP));
    }
    void failed()
    {
        m_problem = m_out.errorString();
        end(peerClosed() ? State::Closed : State::Failed);
    }
    void end(State state)
    {
        if (m_state != State::Open)
            return;
        m_state = state;
        // Possibly called from the notifier's own signal.
        if (m_readerGone) {
            m_readerGone->setEnabled(false);
            std::exchange(m_readerGone, nullptr)->deleteLater();
        }
        // The search is stopped from the event loop, not from inside the result being added.
        QTimer::singleShot(0, &m_context, m_onEnd);
    }

    QObject m_context; // a stop still queued goes with the output
    QIODevice &m_out;
    QFileDevice *m_file;
    std::function<void()> m_onEnd;
    QSocketNotifier *m_readerGone = nullptr; // a child of m_context
    State m_state = State::Open;
    QString m_problem;
};

// Why a search has no engine to ask.
QByteArray noEngineProblem(Core &core)
{
    if (const QString problem = core.catalogueProblem(); !problem.isEmpty())
        return problem.toLocal8Bit();
    if (core.enginesList().count() == 0)
        return "settings.dat lists no engine";
    return "no engine is active: tick one in the window, or name one with --engine";
}

} // namespace

int runSearchCommand(const CommandLine &line, Core &core, QIODevice &out, QIODevice &err, bool progressToTerminal)
{
    Preferences &prefs = core.preferences();
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
    core.setStoreActiveFlags(false);

    QByteArray problem;
    if (!chooseEngines(line.engines, core.enginesList(), problem)) {
        err.write("kestrune: " + problem + "\n");
        return 2;
    }
    if (prefs.maxSearch < 1 || ((line.test || line.verify) && prefs.maxTest < 1)) {
        err.write("kestrune: the limits of open connections must be at least 1 (--max-search, --max-test)\n");
        return 2;
    }
    const int active = core.tickedEngines();
    if (active == 0) {
        err.write("kestrune: " + noEngineProblem(core) + "\n");
        return 1;
    }

    // A reader that has gone must show as a failed write, not end the program.
    ::signal(SIGPIPE, SIG_IGN);
    // The connections below use this function's locals: they end with it.
    QObject guard;
    bool interrupted = false;
    const auto stop = [&] {
        interrupted = true;
        // Stopping the search must not start the tests that were asked for after it.
        prefs.testingEnabled = false;
        core.stopSearch();
        core.stopTests();
        core.stopVerify();
        QCoreApplication::exit(0);
    };
    ResultOutput output(out, stop);

    // One row buffer for every entry: a big crawl writes millions of them. With --verify the rows
    // wait, without their ends, for the sizes and dates.
    QByteArray row;
    QByteArray held;
    struct HeldRow
    {
        qsizetype end;
        int record, entry;
    };
    std::vector<HeldRow> heldRows;
    QObject::connect(&core, &Core::entryAdded, &guard, [&](const FoundEntry &entry) {
        row.resize(0);
        if (line.json) {
            const std::pair<const char *, QByteArrayView> fields[] = {{"{\"root\":", entry.root},    {",\"host\":", entry.host},
                                                                      {",\"server\":", entry.server}, {",\"path\":", entry.path},
                                                                      {",\"file\":", entry.file},     {",\"link\":", entry.link}};
            for (const auto &[name, value] : fields) {
                row += name;
                appendJsonString(row, value);
            }
        } else {
            const QByteArrayView fields[] = {entry.root, entry.host, entry.server, entry.path, entry.file};
            qsizetype size = -1;
            for (const QByteArrayView field : fields)
                size += field.size() + 1;
            row.resize(size);
            char *out = row.data();
            for (const QByteArrayView field : fields) {
                if (out != row.data())
                    *out++ = '\t';
                out = std::copy(field.begin(), field.end(), out);
            }
        }
        if (line.verify) {
            held += row;
            heldRows.push_back({held.size(), entry.record, entry.entry});
            return;
        }
        row += line.json ? "}\n" : "\n";
        output.write(row);
    });

    int done = 0;
    QElapsedTimer sinceProgress;
    // At most one line a second, rewritten in place; the summary at the end replaces it.
    auto progress = [&] {
        if (!progressToTerminal || (sinceProgress.isValid() && sinceProgress.elapsed() < 1000))
            return;
        sinceProgress.start();
        err.write(QStringLiteral("\r%1 of %2 engines done, %3 results").arg(done).arg(active).arg(core.resultCount()).toLocal8Bit());
    };
    QObject::connect(&core, &Core::engineFinished, &guard, [&](const EngineOutcome &outcome) {
        ++done;
        if (line.verbose) {
            // A line of its own for scripts, in place of a progress line being rewritten.
            // Names and failure texts may be anyone's words: a terminal must not act on them.
            const QString text = printable(QStringLiteral("kestrune: engine \"") + outcome.name + QStringLiteral("\": ") + outcomeSummary(outcome));
            err.write((progressToTerminal ? QByteArray("\r\x1b[K") : QByteArray()) + text.toLocal8Bit() + '\n');
        }
        // A page's results reach the reader when the page is done, and a failed write shows.
        output.flush();
        progress();
    });
    QTimer ticker;
    if (progressToTerminal) {
        QObject::connect(&ticker, &QTimer::timeout, &guard, progress);
        ticker.start(1000);
    }

    InterruptWatch interrupt(stop);
    // The marks of the tests, taken before a verify marks the servers anew.
    std::optional<QList<TestedServer>> tested;
    QObject::connect(&core, &Core::settled, &guard, [&] {
        if (line.verify && !tested && !interrupted) {
            tested = core.testedServers();
            if (core.verifyResults())
                return;
        }
        QCoreApplication::exit(0);
    });

    if (core.startSearch(line.searchText))
        QCoreApplication::exec();

    if (line.verify) {
        qsizetype start = 0;
        for (const HeldRow &kept : heldRows) {
            row = held.sliced(start, kept.end - start);
            start = kept.end;
            const FileFact fact = core.fileFact(kept.record, kept.entry);
            const QByteArray size = fact.missing() ? QByteArray("missing") : fact.hasSize() ? QByteArray::number(fact.size) : QByteArray();
            if (line.json)
                row += ",\"size\":" + (fact.missing() ? jsonString(size) : fact.hasSize() ? size : QByteArray("null")) +
                       ",\"date\":" + (fact.hasDate() ? jsonString(isoDate(fact.modified)) : QByteArray("null")) + "}\n";
            else
                row += '\t' + size + '\t' + isoDate(fact.modified) + '\n';
            output.write(row);
        }
    }
    if (line.test) {
        for (const TestedServer &server : tested ? *tested : core.testedServers()) {
            const char *mark = server.mark == ServerMark::Alive ? "alive" : "dead";
            if (line.json)
                output.write("{\"test\":" + jsonString(server.host) + ",\"mark\":\"" + mark + "\"}\n");
            else
                output.write("#test\t" + server.host + '\t' + mark + '\n');
        }
    }
    if (line.verify) {
        for (const VerifiedServer &server : core.verifiedServers()) {
            const QByteArray outcome = verifyOutcomeText(server.outcome);
            if (line.json)
                output.write("{\"verify\":" + jsonString(server.host) + ",\"outcome\":" + jsonString(outcome) + "}\n");
            else
                output.write("#verify\t" + server.host + '\t' + outcome + '\n');
        }
    }
    output.flush();
    if (progressToTerminal)
        err.write("\r\x1b[K");
    if (output.state() == ResultOutput::State::Failed) {
        err.write("kestrune: the results could not be written: " + output.problem().toLocal8Bit() + "\n");
        return 1;
    }
    err.write(QStringLiteral("kestrune: %1 results from %2 of %3 engines%4\n")
                  .arg(core.resultCount())
                  .arg(done)
                  .arg(active)
                  .arg(output.state() == ResultOutput::State::Closed ? QStringLiteral(" (stopped: output closed)")
                       : interrupted                                 ? QStringLiteral(" (stopped)")
                                                                     : QString())
                  .toLocal8Bit());
    return 0;
}

int runHandOffCommand(const CommandLine &line, Core &core, QIODevice &err)
{
    const HandOff kind = line.action == CommandLine::Action::Get ? HandOff::GetFile : HandOff::Connect;
    const HandOffResult result = core.handOff(line.link, kind);
    if (result)
        return 0;
    err.write("kestrune: " + kClientFailureText.toLocal8Bit() + ": " + result.reason.toLocal8Bit() + "\n");
    return 1;
}

int runUpdateCommand(const CommandLine &line, Core &core, QIODevice &out, QIODevice &err)
{
    UpdateSession &update = core.update();
    const auto fail = [&err](const QString &reason) {
        err.write("kestrune: update failed: " + reason.toLocal8Bit() + "\n");
        return 1;
    };
    // The window's way: its controls take their first values, then the exchange starts.
    update.load();
    QString failure;
    QObject guard;
    QObject::connect(&update, &UpdateSession::exchangeEnded, &guard, [&failure](const QString &reason) {
        failure = reason;
        QCoreApplication::exit(0);
    });
    switch (line.updateMode) {
    case UpdateMode::Version:
        update.checkForUpdate();
        break;
    case UpdateMode::Engines:
        update.enginesUpdate();
        break;
    case UpdateMode::Clients:
        update.checkForClients();
        break;
    case UpdateMode::None:
        return 2;
    }
    QCoreApplication::exec();
    if (!failure.isEmpty())
        return fail(failure);

    const NodeTree &candidates = update.candidates();
    QByteArray text;
    if (line.updateMode == UpdateMode::Version && update.handPointer())
        text = update.checkText().toLatin1() + '\t' + update.linkAddress().trimmed().toLatin1() + '\n';
    for (int row = 1; row <= candidates.count(); ++row) {
        const QString fields = line.updateMode == UpdateMode::Engines
            ? candidates.text(row) + u'\t' + candidates.tag(row).toString() + u'\t' + candidates.key(row)
            : candidates.text(row) + u'\t' + update.clientArgs(row);
        text += fields.toLatin1() + '\n';
    }
    out.write(text);
    if (line.apply && update.UpdateBtnClick() == UpdateSession::Merged::NotWritten)
        return fail(update.mergeProblem());
    return 0;
}
