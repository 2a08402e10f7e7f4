#pragma once

#include "platform/time_limits.h"
#include "search/file_facts.h"
#include "search/marks.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class NodeTree;
struct FtpReply;
class SocketArray;
class StatusLine;
struct Preferences;
struct SearchState;

// Where and as whom a verify logs in to a server.
struct VerifyLogin
{
    QByteArray host; // as the link names it; an IPv6 literal keeps its brackets
    int port = 0;    // 0: the link names no port that can be used
    QByteArray user;
    QByteArray password;
};

// Verifies the FTP servers of the result tree: logs in to each over one control connection, at
// most `maxTest` servers at once, and asks for the size (SIZE, in binary mode) and the date (MDTM)
// of every file its record lists, pausing between files. Every step has TimeLimits::serverTest to
// be answered. The node is marked Alive when the login succeeded, Dead when there was no
// connection or no greeting, and Refused when the login was refused; its tooltip tells what the
// server answered. What is learned goes to SearchState::facts. It keeps the "TSockets" panel while
// it runs.
class ServerVerifier final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerVerifier)

public:
    // The login of a server URL, as the hand-off reads it.
    using LoginOf = std::function<VerifyLogin(QByteArrayView serverURL)>;

    ServerVerifier(NodeTree &ftpList, SearchState &state, Preferences &preferences, StatusLine &status, LoginOf loginOf,
                   TimeLimits limits = {}, QObject *parent = nullptr);
    ~ServerVerifier() override;

    // Verifies every FTP server node of the tree now, in node order; false when there is none
    // (or `maxTest` allows none), and nothing starts. A verify under way is stopped first.
    bool start();
    // Ends every session at once; their nodes get back the mark they had before.
    void stop();
    bool running() const { return m_running; }

signals:
    // Record `record`'s entry `entry` has its fact in SearchState::facts.
    void fileVerified(int record, int entry);
    // Every server is verified (not after stop()).
    void finished();

private:
    struct Session;
    struct Timers;
    enum class Step { Greeting, User, Pass, Type, Size, Mdtm, Pause, Quit };

    Session *sessionAt(int slot) const;
    // Frees the slot: its session, its timers and its connection.
    void release(int slot);
    void schedule();
    void begin(int slot, int node);
    void received(int slot);
    void answered(Session &session, int slot, const FtpReply &reply);
    void loggedIn(Session &session, int slot);
    void askNextFile(Session &session, int slot);
    void fileDone(Session &session, int slot);
    // Sends "VERB ARGUMENT"; false, and nothing is sent, when the argument would break the line.
    bool command(int slot, QByteArrayView verb, QByteArrayView argument = {});
    void quit(Session &session, int slot, VerifyOutcome outcome);
    // The connection ended or stayed silent: what the session came to so far is its outcome.
    void lost(int slot, const QString &why);
    void finish(int slot);
    void abandon();
    // Ends every session; a stop gives their nodes back their marks, a reset has no nodes left.
    void endAll(bool restoreMarks);
    void updateStatus();

    NodeTree &m_ftpList;
    SearchState &m_state;
    Preferences &m_preferences;
    StatusLine &m_status;
    LoginOf m_loginOf;
    const TimeLimits m_limits;

    SocketArray *m_sockets;
    std::vector<std::unique_ptr<Session>> m_sessions; // slot k at k - 1; empty: free
    std::vector<std::unique_ptr<Timers>> m_timers;     // slot k at k - 1
    std::vector<int> m_queue; // the server nodes, in node order
    std::size_t m_next = 0;
    int m_active = 0;
    bool m_running = false;
};
