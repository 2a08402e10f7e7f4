#include "support/peers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <sys/stat.h>

namespace {

// Also linked into the benchmarks, which have no gtest.
bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

} // namespace

int freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

bool waitForPort(int port, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    return false;
}

QByteArray PeerProcess::output()
{
    if (m_process)
        m_output += m_process->readAll();
    return m_output;
}

bool PeerProcess::launch(const QString &program, const QStringList &arguments, int port, const QByteArray &ready)
{
    m_port = port;
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setWorkingDirectory(m_dir.path());
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(std::chrono::seconds(10));
    while (!deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running)
            return false;
        if (ready.isEmpty() ? waitForPort(port, std::chrono::milliseconds(200))
                            : (m_process->waitForReadyRead(200), output().contains(ready)))
            return true;
    }
    return false;
}

void PeerProcess::stop()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    const qint64 id = m_process->processId();
    ::kill(static_cast<pid_t>(id), SIGTERM);
    if (!m_process->waitForFinished(3000)) {
        ::kill(static_cast<pid_t>(id), SIGKILL);
        m_process->waitForFinished(3000);
    }
    output();
}

bool NginxPeer::start()
{
    const int port = freePort();
    const QDir dir(m_dir.path());
    const QString conf = QStringLiteral(
        "daemon off;\n"
        "master_process off;\n"
        "worker_processes 1;\n"
        "pid %1/nginx.pid;\n"
        "error_log %1/error.log;\n"
        "events { worker_connections 1024; }\n"
        "http {\n"
        "%4"
        "  client_body_temp_path %1/client_body;\n"
        "  proxy_temp_path %1/proxy;\n"
        "  fastcgi_temp_path %1/fastcgi;\n"
        "  uwsgi_temp_path %1/uwsgi;\n"
        "  scgi_temp_path %1/scgi;\n"
        "  default_type text/html;\n"
        "%5"
        "  server {\n"
        "    listen 127.0.0.1:%2;\n"
        "    root %3;\n"
        "  }\n"
        "}\n")
        .arg(m_dir.path()).arg(port).arg(m_root)
        .arg(m_mode == Mode::Logged
                 ? QStringLiteral("  log_format full '$status | $request | $http_host | $http_user_agent | $http_accept | "
                                  "$http_accept_encoding | $http_accept_language | $http_accept_charset | "
                                  "$http_connection | $http_pragma | $http_via';\n"
                                  "  access_log %1/access.log full;\n").arg(m_dir.path())
                 : QStringLiteral("  access_log off;\n  sendfile on;\n  tcp_nopush on;\n"))
        .arg(m_extra);
    if (!writeFile(dir.filePath(QStringLiteral("nginx.conf")), conf.toUtf8()))
        return false;
    return launch(QStringLiteral("/usr/sbin/nginx"),
                  {QStringLiteral("-c"), dir.filePath(QStringLiteral("nginx.conf")), QStringLiteral("-p"),
                   m_dir.path() + u'/'},
                  port);
}

QByteArray NginxPeer::accessLog() const
{
    QFile file(QDir(m_dir.path()).filePath(QStringLiteral("access.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TinyproxyPeer::start()
{
    const int port = freePort();
    // tinyproxy drops to nobody when started as root; its files must stay writable then.
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0777);
    const QDir dir(m_dir.path());
    QString conf = QStringLiteral(
        "User nobody\n"
        "Group nogroup\n"
        "Port %1\n"
        "Listen 127.0.0.1\n"
        "Allow 127.0.0.1\n"
        "Timeout 60\n"
        "MaxClients 200\n"
        "LogFile \"%2/tinyproxy.log\"\n"
        "LogLevel Info\n"
        "PidFile \"%2/tinyproxy.pid\"\n")
        .arg(port).arg(m_dir.path());
    for (int allowed : m_connectPorts)
        conf += QStringLiteral("ConnectPort %1\n").arg(allowed);
    if (!writeFile(dir.filePath(QStringLiteral("tinyproxy.conf")), conf.toUtf8()))
        return false;
    return launch(QStringLiteral("/usr/bin/tinyproxy"),
                  {QStringLiteral("-d"), QStringLiteral("-c"), dir.filePath(QStringLiteral("tinyproxy.conf"))}, port);
}

bool FtpPeer::start()
{
    const int port = freePort();
    QStringList arguments{QStringLiteral("-m"), QStringLiteral("pyftpdlib"), QStringLiteral("-i"),
                          QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                          QStringLiteral("-d"), m_root};
    if (!m_user.isEmpty())
        arguments << QStringLiteral("-u") << m_user << QStringLiteral("-P") << m_password;
    return launch(QStringLiteral("/usr/bin/python3"), arguments, port);
}

bool makeCertificate(const QString &dir, const QString &name, const QString &ca, const QString &altNames)
{
    const QDir folder(dir);
    QStringList arguments{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                          QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                          QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=") + name,
                          QStringLiteral("-keyout"), folder.filePath(name + QStringLiteral(".key")), QStringLiteral("-out"),
                          folder.filePath(name + QStringLiteral(".crt"))};
    if (!ca.isEmpty()) {
        arguments << QStringLiteral("-CA") << folder.filePath(ca + QStringLiteral(".crt")) << QStringLiteral("-CAkey")
                  << folder.filePath(ca + QStringLiteral(".key")) << QStringLiteral("-addext") << QStringLiteral("subjectAltName=") + altNames
                  << QStringLiteral("-addext") << QStringLiteral("basicConstraints=CA:FALSE");
    }
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
}

bool HostilePeer::start()
{
    const int port = freePort();
    return launch(QStringLiteral("python3"), {QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("hostile_peer.py")), m_mode, QString::number(port)},
                  port, "ready");
}
