#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

// Real servers for tests, started in the foreground on 127.0.0.1 at a free port and stopped by
// PID. Each keeps its configuration, logs and pid file in a temporary folder of its own.

// A port on 127.0.0.1 that nobody listens on right now.
int freePort();
// True once something accepts connections on 127.0.0.1:port.
bool waitForPort(int port, std::chrono::milliseconds timeout = std::chrono::seconds(10));

class PeerProcess
{
public:
    PeerProcess() = default;
    virtual ~PeerProcess() { stop(); }
    Q_DISABLE_COPY(PeerProcess)

    int port() const { return m_port; }
    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    QString folder() const { return m_dir.path(); }
    // What the process printed so far (for failure messages).
    QByteArray output();
    void stop();

protected:
    // Starts the program and waits until it listens on `port`, or until it prints `ready` when that
    // is given; false (with output()) if not.
    bool launch(const QString &program, const QStringList &arguments, int port, const QByteArray &ready = {});

    QTemporaryDir m_dir;
    int m_port = 0;

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_output;
};

// nginx serving the files of `root`; every request is logged with its whole header set.
class NginxPeer final : public PeerProcess
{
public:
    // Logged: every request in the access log. Throughput: no log, sendfile on (benchmarks).
    enum class Mode { Logged, Throughput };
    explicit NginxPeer(QString root, Mode mode = Mode::Logged) : m_root(std::move(root)), m_mode(mode) {}
    // More of nginx's "http" block (servers on ports of the caller's choosing), set before start().
    void setExtraConfig(QString text) { m_extra = std::move(text); }
    bool start();
    // The access log: one line per request, fields separated by " | ": status, request line, Host,
    // User-Agent, Accept, Accept-Encoding, Accept-Language, Accept-Charset, Connection, Pragma, Via.
    QByteArray accessLog() const;
    QString root() const { return m_root; }

private:
    QString m_root, m_extra;
    Mode m_mode;
};

// tinyproxy relaying to anywhere on loopback. CONNECT is allowed to every port, or only to
// `connectPorts` when there are any.
class TinyproxyPeer final : public PeerProcess
{
public:
    explicit TinyproxyPeer(QList<int> connectPorts = {}) : m_connectPorts(std::move(connectPorts)) {}
    bool start();

private:
    QList<int> m_connectPorts;
};

// Makes DIR/NAME.crt and DIR/NAME.key with openssl: a CA when `ca` is empty, else a server
// certificate for `altNames` (e.g. "IP:127.0.0.1,DNS:localhost") signed by DIR/CA.crt.
bool makeCertificate(const QString &dir, const QString &name, const QString &ca = {}, const QString &altNames = {});

// pyftpdlib serving `root` read-only, anonymously or with one user, on `address` (any of 127.0.0.0/8:
// results group by host, so servers that must be told apart need addresses of their own).
class FtpPeer final : public PeerProcess
{
public:
    explicit FtpPeer(QString root, QString user = {}, QString password = {}, QString address = QStringLiteral("127.0.0.1"))
        : m_root(std::move(root)), m_user(std::move(user)), m_password(std::move(password)), m_address(std::move(address)) {}
    bool start();

private:
    QString m_root, m_user, m_password, m_address;
};

// A peer that misbehaves on 127.0.0.1 (tests/support/hostile_peer.py). Its mode: "endless" (a 200 header, then
// links and filler without end), "trickle" (a byte a second), "reset" (half a page, then a reset), "single-line"
// (100 MiB without a line break), "silent" (reads, never answers), "gzip" (compressed although identity was
// asked), "chunked" (HTTP/1.1 chunks although HTTP/1.0 was asked), "close" (accepts and closes at once) or
// "never-accept" (its queue is full: a connect hangs). It listens on `address`, any of 127.0.0.0/8.
class HostilePeer final : public PeerProcess
{
public:
    explicit HostilePeer(QString mode, QString address = QStringLiteral("127.0.0.1")) : m_mode(std::move(mode)), m_address(std::move(address)) {}
    bool start();
    QString mode() const { return m_mode; }

private:
    QString m_mode, m_address;
};
