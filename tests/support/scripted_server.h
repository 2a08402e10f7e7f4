#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>

// A TCP server on 127.0.0.1 whose answers a test scripts connection by connection: for orderings
// that a real server cannot be made to show (pieces, silence, resets, exact timing).
class ScriptedServer final : public QObject
{
    Q_OBJECT

public:
    struct Connection { QPointer<QTcpSocket> socket; QByteArray request; }; // request: everything received so far

    // Called once a connection has sent a whole request (up to the empty line).
    using Handler = std::function<void(Connection &connection)>;

    explicit ScriptedServer(Handler handler = {});
    int port() const { return m_server.serverPort(); }
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    QList<Connection> &connections() { return m_connections; }
    int accepted() const { return static_cast<int>(m_connections.size()); }
    int open() const;

    // Answers a connection with `bytes` and closes it.
    static void reply(Connection &connection, const QByteArray &bytes);

private:
    QTcpServer m_server;
    Handler m_handler;
    QList<Connection> m_connections;
};
