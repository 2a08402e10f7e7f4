#include "support/scripted_server.h"

#include <QHostAddress>

#include <algorithm>

ScriptedServer::ScriptedServer(Handler handler) : m_handler(std::move(handler))
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            const qsizetype slot = m_connections.size();
            m_connections.append(Connection{socket, {}});
            connect(socket, &QTcpSocket::readyRead, this, [this, slot] {
                Connection &c = m_connections[slot];
                const bool complete = c.request.contains("\r\n\r\n");
                c.request += c.socket->readAll();
                if (!complete && c.request.contains("\r\n\r\n") && m_handler) m_handler(c);
            });
        }
    });
}

int ScriptedServer::open() const
{
    const auto isOpen = [](const Connection &c) { return c.socket && c.socket->state() == QAbstractSocket::ConnectedState; };
    return static_cast<int>(std::count_if(m_connections.begin(), m_connections.end(), isOpen));
}

void ScriptedServer::reply(Connection &connection, const QByteArray &bytes)
{
    if (!connection.socket) return;
    connection.socket->write(bytes);
    connection.socket->disconnectFromHost();
}
