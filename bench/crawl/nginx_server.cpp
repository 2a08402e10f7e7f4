#include "nginx_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>

namespace {

int freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

bool accepts(int port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    return socket.waitForConnected(200);
}

} // namespace

NginxServer::NginxServer(QString root)
    : m_root(std::move(root))
{
}

NginxServer::~NginxServer()
{
    stop();
}

qint64 NginxServer::pid() const
{
    return m_process ? m_process->processId() : 0;
}

bool NginxServer::start()
{
    m_port = freePort();
    const QDir dir(m_dir.path());
    // One worker without a master: one process to stop, and both clients meet the same server.
    const QString conf = QStringLiteral(
        "daemon off;\n"
        "master_process off;\n"
        "worker_processes 1;\n"
        "pid %1/nginx.pid;\n"
        "error_log %1/error.log;\n"
        "events { worker_connections 1024; }\n"
        "http {\n"
        "  access_log off;\n"
        "  sendfile on;\n"
        "  tcp_nopush on;\n"
        "  client_body_temp_path %1/client_body;\n"
        "  proxy_temp_path %1/proxy;\n"
        "  fastcgi_temp_path %1/fastcgi;\n"
        "  uwsgi_temp_path %1/uwsgi;\n"
        "  scgi_temp_path %1/scgi;\n"
        "  default_type text/html;\n"
        "  server {\n"
        "    listen 127.0.0.1:%2;\n"
        "    root %3;\n"
        "  }\n"
        "}\n")
        .arg(m_dir.path()).arg(m_port).arg(m_root);
    QFile file(dir.filePath(QStringLiteral("nginx.conf")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(conf.toUtf8()) < 0) {
        m_error = "cannot write the nginx configuration";
        return false;
    }
    file.close();

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setWorkingDirectory(m_dir.path());
    m_process->start(QStringLiteral("/usr/sbin/nginx"),
                     {QStringLiteral("-c"), file.fileName(), QStringLiteral("-p"), m_dir.path() + u'/'});
    if (!m_process->waitForStarted(5000)) {
        m_error = "nginx did not start: " + m_process->errorString().toUtf8();
        return false;
    }
    const QDeadlineTimer deadline(10'000);
    while (!deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running)
            break;
        if (accepts(m_port))
            return true;
        QThread::msleep(20);
    }
    m_error = "nginx does not listen: " + m_process->readAll();
    stop();
    return false;
}

void NginxServer::stop()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    const auto id = static_cast<pid_t>(m_process->processId());
    ::kill(id, SIGTERM);
    if (!m_process->waitForFinished(3000)) {
        ::kill(id, SIGKILL);
        m_process->waitForFinished(3000);
    }
}
