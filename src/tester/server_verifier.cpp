#include "tester/server_verifier.h"

#include "platform/byte_text.h"
#include "platform/node_tree.h"
#include "platform/socket_array.h"
#include "platform/status_line.h"
#include "prefs/preferences.h"
#include "search/search_state.h"
#include "search/server_url.h"
#include "tester/detail/ftp_reply.h"
#include "tester/detail/logging.h"
#include "tester/detail/status.h"

#include <QTimer>

#include <algorithm>

struct ServerVerifier::Session
{
    int node = 0;
    int record = 0;
    ServerMark before = ServerMark::Untested;
    Step step = Step::Greeting;
    bool connected = false;
    FtpReplyReader replies;
    VerifyOutcome outcome = VerifyOutcome::Dead;
    QByteArray user;
    QByteArray password;
    int entry = 0; // the file asked about
    FileFact fact;
    bool noSize = false; // the server knows no SIZE or no MDTM: not asked again
    bool noMdtm = false;
    QByteArray greeting;
    QByteArray loginReply;
    QString failure;
};

// A slot's timers outlive its sessions: a session may end inside one of their signals.
struct ServerVerifier::Timers
{
    QTimer deadline; // for the step under way
    QTimer pause;    // between two files
};

namespace {

// A server's words for a tooltip: printable, one line.
QString shown(const QByteArray &line)
{
    return printable(QString::fromLatin1(line));
}

// The file of a record's entry as a command names it: its whole path.
QByteArray filePath(const ServerTable &servers, int record, int entry)
{
    return servers[record].pathView(entry).toByteArray().append(servers[record].fileNameView(entry));
}

// Replies that say the server does not know the command at all.
bool notImplemented(int code)
{
    return code == 500 || code == 502 || code == 504;
}

} // namespace

ServerVerifier::ServerVerifier(NodeTree &ftpList, SearchState &state, Preferences &preferences, StatusLine &status,
                               LoginOf loginOf, TimeLimits limits, QObject *parent)
    : QObject(parent)
    , m_ftpList(ftpList)
    , m_state(state)
    , m_preferences(preferences)
    , m_status(status)
    , m_loginOf(std::move(loginOf))
    , m_limits(limits)
    , m_sockets(new SocketArray(this))
{
    connect(m_sockets, &SocketArray::connected, this, [this](int slot) {
        if (Session *session = sessionAt(slot)) {
            session->connected = true;
            m_timers[std::size_t(slot) - 1]->deadline.start();
        }
    });
    connect(m_sockets, &SocketArray::dataArrival, this, &ServerVerifier::received);
    connect(m_sockets, &SocketArray::closed, this, [this](int slot) { lost(slot, QStringLiteral("the server closed the connection")); });
    connect(m_sockets, &SocketArray::error, this, [this](int slot, const SocketFailure &failure) { lost(slot, failure.text); });
    // The nodes are gone (a new search): nothing is left to mark.
    connect(&m_ftpList, &QAbstractItemModel::modelReset, this, &ServerVerifier::abandon);
    connect(&m_ftpList, &QAbstractItemModel::rowsRemoved, this, &ServerVerifier::abandon);
}

ServerVerifier::~ServerVerifier() = default;

bool ServerVerifier::start()
{
    stop();
    m_queue.clear();
    m_next = 0;
    for (int node = 1; node <= m_ftpList.count(); ++node) {
        const ServerMark mark = serverMark(m_ftpList, node);
        if (mark != ServerMark::Root && mark != ServerMark::Http)
            m_queue.push_back(node);
    }
    const int most = std::max(m_preferences.maxTest, 0);
    if (m_queue.empty() || most == 0)
        return false;
    m_sessions.clear();
    m_sessions.resize(std::size_t(most));
    for (int slot = int(m_timers.size()) + 1; slot <= most; ++slot) {
        auto &timers = m_timers.emplace_back(std::make_unique<Timers>());
        timers->deadline.setSingleShot(true);
        connect(&timers->deadline, &QTimer::timeout, this, [this, slot] {
            lost(slot, QStringLiteral("no answer in %1 s").arg(double(m_limits.serverTest.count()) / 1000));
        });
        timers->pause.setSingleShot(true);
        connect(&timers->pause, &QTimer::timeout, this, [this, slot] {
            if (Session *session = sessionAt(slot))
                askNextFile(*session, slot);
        });
    }
    for (const auto &timers : m_timers) {
        timers->deadline.setInterval(m_limits.serverTest);
        timers->pause.setInterval(m_limits.verifyPause);
    }
    m_running = true;
    schedule();
    return true;
}

void ServerVerifier::stop()
{
    endAll(true);
}

void ServerVerifier::abandon()
{
    if (m_running)
        endAll(false);
}

void ServerVerifier::endAll(bool restoreMarks)
{
    for (std::size_t k = 0; k < m_sessions.size(); ++k) {
        if (const auto &session = m_sessions[k]) {
            if (restoreMarks)
                setMark(m_ftpList, session->node, session->before);
            release(int(k) + 1);
        }
    }
    m_active = 0;
    m_running = false;
    updateStatus();
}

void ServerVerifier::schedule()
{
    for (std::size_t k = 0; k < m_sessions.size() && m_next < m_queue.size(); ++k) {
        if (!m_sessions[k])
            begin(int(k) + 1, m_queue[m_next++]);
    }
    updateStatus();
    if (m_active == 0 && m_next >= m_queue.size() && m_running) {
        m_running = false;
        emit finished();
    }
}

void ServerVerifier::begin(int slot, int node)
{
    auto &owned = m_sessions[std::size_t(slot) - 1];
    owned = std::make_unique<Session>();
    Session &session = *owned;
    session.node = node;
    session.record = m_ftpList.tag(node).toInt();
    session.before = serverMark(m_ftpList, node);
    ++m_active;
    setMark(m_ftpList, node, ServerMark::UnderTest);

    const ServerTable &servers = m_state.servers;
    const QByteArray serverURL = session.record > 0 && session.record <= servers.upperBound() ? servers[session.record].ServerURL() : QByteArray();
    const VerifyLogin login = m_loginOf(serverURL);
    session.user = login.user;
    session.password = login.password;
    m_sockets->create(slot);
    m_sockets->connectTo(slot, QString::fromLatin1(Unbracketed(login.host)), login.port);
    m_timers[std::size_t(slot) - 1]->deadline.start();
}

ServerVerifier::Session *ServerVerifier::sessionAt(int slot) const
{
    return slot >= 1 && std::size_t(slot) <= m_sessions.size() ? m_sessions[std::size_t(slot) - 1].get() : nullptr;
}

void ServerVerifier::release(int slot)
{
    m_sessions[std::size_t(slot) - 1].reset();
    m_timers[std::size_t(slot) - 1]->deadline.stop();
    m_timers[std::size_t(slot) - 1]->pause.stop();
    m_sockets->destroy(slot);
}

void ServerVerifier::received(int slot)
{
    Session *session = sessionAt(slot);
    if (!session)
        return;
    QByteArray bytes;
    m_sockets->appendAllTo(slot, bytes);
    session->replies.append(bytes);
    while (const auto reply = session->replies.next()) {
        answered(*session, slot, *reply);
        // The answer may have ended the session.
        if (sessionAt(slot) != session)
            return;
    }
    if (session->replies.failed())
        lost(slot, QStringLiteral("the server's answer is not FTP"));
}

void ServerVerifier::answered(Session &session, int slot, const FtpReply &reply)
{
    // A preliminary reply says a real one follows; the step's time starts again for it.
    m_timers[std::size_t(slot) - 1]->deadline.start();
    if (reply.kind() == 1)
        return;
    switch (session.step) {
    case Step::Greeting:
        session.greeting = reply.line;
        if (reply.kind() != 2) {
            quit(session, slot, VerifyOutcome::Dead);
        } else if (!command(slot, "USER", session.user)) {
            session.failure = QStringLiteral("the link's login cannot be sent");
            quit(session, slot, VerifyOutcome::LoginRefused);
        } else {
            session.step = Step::User;
        }
        return;
    case Step::User:
        if (reply.code == 331 && command(slot, "PASS", session.password)) {
            session.step = Step::Pass;
            return;
        }
        [[fallthrough]];
    case Step::Pass:
        session.loginReply = reply.line;
        if (reply.kind() == 2)
            loggedIn(session, slot);
        else
            quit(session, slot, VerifyOutcome::LoginRefused);
        return;
    case Step::Type:
        // SIZE may be refused in ASCII mode; a server without TYPE I is asked all the same.
        askNextFile(session, slot);
        return;
    case Step::Size:
        if (reply.code == 213)
            session.fact.size = parseSizeReply(reply).value_or(FileFact::kUnknown);
        else if (reply.code == 550)
            session.fact.size = FileFact::kMissing;
        else if (notImplemented(reply.code))
            session.noSize = true;
        if (session.fact.missing() || session.noMdtm || !command(slot, "MDTM", filePath(m_state.servers, session.record, session.entry))) {
            fileDone(session, slot);
            return;
        }
        session.step = Step::Mdtm;
        return;
    case Step::Mdtm:
        if (reply.code == 213) {
            if (const auto modified = parseMdtmReply(reply))
                session.fact.modified = *modified;
        } else if (notImplemented(reply.code)) {
            session.noMdtm = true;
        } else if (reply.code == 550 && session.noSize) {
            session.fact.size = FileFact::kMissing;
        }
        fileDone(session, slot);
        return;
    case Step::Quit:
        finish(slot);
        return;
    case Step::Pause:
        // Nothing was asked: the server speaks of its own accord ("421 idle"), and its close follows.
        return;
    }
}

void ServerVerifier::loggedIn(Session &session, int slot)
{
    session.outcome = VerifyOutcome::Alive;
    // Kept at once: a verify stopped before the server's end still counts the login.
    m_state.facts.setOutcome(session.record, VerifyOutcome::Alive);
    command(slot, "TYPE", "I");
    session.step = Step::Type;
}

void ServerVerifier::askNextFile(Session &session, int slot)
{
    const ServerTable &servers = m_state.servers;
    const int files = session.record > 0 && session.record <= servers.upperBound() ? servers[session.record].entryCount() : 0;
    // A server that knows neither command has nothing more to tell.
    while (!(session.noSize && session.noMdtm) && ++session.entry <= files) {
        session.fact = {};
        const Step step = session.noSize ? Step::Mdtm : Step::Size;
        if (command(slot, step == Step::Size ? "SIZE" : "MDTM", filePath(servers, session.record, session.entry))) {
            session.step = step;
            m_timers[std::size_t(slot) - 1]->deadline.start();
            return;
        }
        // A name that cannot be sent stays unknown.
        emit fileVerified(session.record, session.entry);
    }
    quit(session, slot, session.outcome);
}

void ServerVerifier::fileDone(Session &session, int slot)
{
    m_state.facts.setFile(session.record, session.entry, session.fact);
    emit fileVerified(session.record, session.entry);
    if (session.entry >= m_state.servers[session.record].entryCount()) {
        askNextFile(session, slot);
        return;
    }
    session.step = Step::Pause;
    m_timers[std::size_t(slot) - 1]->deadline.stop();
    m_timers[std::size_t(slot) - 1]->pause.start();
}

bool ServerVerifier::command(int slot, QByteArrayView verb, QByteArrayView argument)
{
    if (hasControlByte(argument))
        return false;
    QByteArray line = verb.toByteArray();
    if (!argument.isEmpty())
        line += ' ' + argument.toByteArray();
    m_sockets->send(slot, line + "\r\n");
    return true;
}

void ServerVerifier::quit(Session &session, int slot, VerifyOutcome outcome)
{
    session.outcome = outcome;
    session.step = Step::Quit;
    m_timers[std::size_t(slot) - 1]->pause.stop();
    m_timers[std::size_t(slot) - 1]->deadline.start();
    command(slot, "QUIT");
}

void ServerVerifier::lost(int slot, const QString &why)
{
    Session *found = sessionAt(slot);
    if (!found)
        return;
    Session &session = *found;
    // A server that greeted is there: a login it leaves unanswered is not a login, and once logged in
    // the files not asked about yet stay unknown.
    if (session.step != Step::Quit) {
        session.failure = why;
        if (session.step == Step::Greeting)
            session.outcome = VerifyOutcome::Dead;
        else if (session.step == Step::User || session.step == Step::Pass)
            session.outcome = VerifyOutcome::LoginRefused;
    }
    finish(slot);
}

void ServerVerifier::finish(int slot)
{
    const std::unique_ptr<Session> session = std::move(m_sessions[std::size_t(slot) - 1]);
    release(slot);
    --m_active;

    const ServerMark mark = session->outcome == VerifyOutcome::Alive ? ServerMark::Alive
        : session->outcome == VerifyOutcome::LoginRefused           ? ServerMark::Refused
                                                                     : ServerMark::Dead;
    m_state.facts.setOutcome(session->record, session->outcome);
    setMark(m_ftpList, session->node, mark);
    QStringList tip{m_ftpList.text(session->node)};
    if (!session->greeting.isEmpty())
        tip << QStringLiteral("Greeting: ") + shown(session->greeting);
    if (!session->loginReply.isEmpty())
        tip << QStringLiteral("Login: ") + shown(session->loginReply);
    if (!session->failure.isEmpty())
        tip << (session->connected ? QStringLiteral("Ended: ") : QStringLiteral("No connection: ")) + session->failure;
    m_ftpList.setToolTip(session->node, tip.join(u'\n'));
    qCInfo(lcTester).noquote() << m_ftpList.text(session->node) << "verified:" << verifyOutcomeText(session->outcome) << session->failure;
    schedule();
}

void ServerVerifier::updateStatus()
{
    showActiveTests(m_status, m_active);
}
