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

using namespace Qt::StringLiterals;

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
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

bool waitForPort(int port, std::chrono::milliseconds timeout)
{
    for (const QDeadlineTimer deadline(timeout); !deadline.hasExpired(); QThread::msleep(20)) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        if (socket.waitForConnected(200)) return true;
    }
    return false;
}

QByteArray PeerProcess::output()
{
    if (m_process) m_output += m_process->readAll();
    return m_output;
}

bool PeerProcess::launch(const QString &program, const QStringList &arguments, int port, const QByteArray &ready)
{
    m_port = port;
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setWorkingDirectory(m_dir.path());
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(5000)) return false;
    for (const QDeadlineTimer deadline(std::chrono::seconds(10)); !deadline.hasExpired();) {
        if (m_process->state() != QProcess::Running) return false;
        if (ready.isEmpty() ? waitForPort(port, std::chrono::milliseconds(200))
                            : (m_process->waitForReadyRead(200), output().contains(ready)))
            return true;
    }
    return false;
}

void PeerProcess::stop()
{
    if (!m_process || m_process->state() == QProcess::NotRunning) return;
    const auto id = static_cast<pid_t>(m_process->processId());
    ::kill(id, SIGTERM);
    if (!m_process->waitForFinished(3000)) {
        ::kill(id, SIGKILL);
        m_process->waitForFinished(3000);
    }
    output();
}

bool NginxPeer::start()
{
    const int port = freePort();
    const QDir dir(m_dir.path());
    const QString conf = u"daemon off;\nmaster_process off;\nworker_processes 1;\npid %1/nginx.pid;\nerror_log %1/error.log;\n"
                         "events { worker_connections 1024; }\n"
                         "http {\n%4  client_body_temp_path %1/client_body;\n  proxy_temp_path %1/proxy;\n"
                         "  fastcgi_temp_path %1/fastcgi;\n  uwsgi_temp_path %1/uwsgi;\n  scgi_temp_path %1/scgi;\n"
                         "  default_type text/html;\n%5  server {\n    listen 127.0.0.1:%2;\n    root %3;\n  }\n}\n"_s
        .arg(m_dir.path()).arg(port).arg(m_root)
        .arg(m_mode == Mode::Logged
                 ? u"  log_format full '$status | $request | $http_host | $http_user_agent | $http_accept | "
                   "$http_accept_encoding | $http_accept_language | $http_accept_charset | $http_connection | $http_pragma | "
                   "$http_via';\n  access_log %1/access.log full;\n"_s.arg(m_dir.path())
                 : u"  access_log off;\n  sendfile on;\n  tcp_nopush on;\n"_s)
        .arg(m_extra);
    if (!writeFile(dir.filePath(u"nginx.conf"_s), conf.toUtf8())) return false;
    return launch(u"/usr/sbin/nginx"_s, {u"-c"_s, dir.filePath(u"nginx.conf"_s), u"-p"_s, m_dir.path() + u'/'}, port);
}

QByteArray NginxPeer::accessLog() const
{
    QFile file(QDir(m_dir.path()).filePath(u"access.log"_s));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TinyproxyPeer::start()
{
    const int port = freePort();
    // tinyproxy drops to nobody when started as root; its files must stay writable then.
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0777);
    const QDir dir(m_dir.path());
    QString conf = u"User nobody\nGroup nogroup\nPort %1\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 60\nMaxClients 200\n"
                   "LogFile \"%2/tinyproxy.log\"\nLogLevel Info\nPidFile \"%2/tinyproxy.pid\"\n"_s.arg(port).arg(m_dir.path());
    for (int allowed : m_connectPorts) conf += u"ConnectPort %1\n"_s.arg(allowed);
    if (!writeFile(dir.filePath(u"tinyproxy.conf"_s), conf.toUtf8())) return false;
    return launch(u"/usr/bin/tinyproxy"_s, {u"-d"_s, u"-c"_s, dir.filePath(u"tinyproxy.conf"_s)}, port);
}

bool FtpPeer::start()
{
    const int port = freePort();
    QStringList arguments = QStringList{u"-m"_s, u"pyftpdlib"_s, u"-i"_s, m_address, u"-p"_s, QString::number(port), u"-d"_s, m_root};
    if (!m_user.isEmpty()) arguments << u"-u"_s << m_user << u"-P"_s << m_password;
    // It says so once it listens, on whichever address.
    return launch(u"/usr/bin/python3"_s, arguments, port, "starting FTP server");
}

bool makeCertificate(const QString &dir, const QString &name, const QString &ca, const QString &altNames)
{
    const QDir folder(dir);
    QStringList arguments = u"req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj"_s.split(u' ');
    arguments << u"/CN="_s + name << u"-keyout"_s << folder.filePath(name + u".key"_s) << u"-out"_s
              << folder.filePath(name + u".crt"_s);
    if (!ca.isEmpty()) {
        arguments << u"-CA"_s << folder.filePath(ca + u".crt"_s) << u"-CAkey"_s << folder.filePath(ca + u".key"_s)
                  << u"-addext"_s << u"subjectAltName="_s + altNames << u"-addext"_s << u"basicConstraints=CA:FALSE"_s;
    }
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(u"openssl"_s, arguments);
    return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
}

bool HostilePeer::start()
{
    const int port = freePort();
    const QString script = QFileInfo(QStringLiteral(__FILE__)).dir().filePath(u"hostile_peer.py"_s);
    return launch(u"python3"_s, {script, m_mode, QString::number(port), m_address}, port, "ready");
}
