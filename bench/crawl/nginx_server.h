#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// nginx in the foreground serving the files of a folder on 127.0.0.1 at a free port, tuned for
// throughput (no access log, sendfile), with its configuration, logs and pid file in a temporary
// folder of its own. Stopped by its PID when destroyed.
class NginxServer final
{
public:
    explicit NginxServer(QString root);
    ~NginxServer();
    NginxServer(const NginxServer &) = delete;
    NginxServer &operator=(const NginxServer &) = delete;

    // False (with error()) when nginx did not start or does not listen within 10 s.
    bool start();
    void stop();

    int port() const { return m_port; }
    qint64 pid() const;
    const QByteArray &error() const { return m_error; }

private:
    QString m_root;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
    QByteArray m_error;
};
