#include "support/scripted_server.h"

#include <QHostAddress>

ScriptedServer::ScriptedServer(Handler handler)
    : m_handler(std::move(handler))
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
                if (!complete && c.request.contains("\r\n\r\n") && m_handler)
                    m_handler(c);
            });
        }
    });
}

int ScriptedServer::open() const
{
    int count = 0;
    for (const Connection &c : m_connections) {
        if (c.socket && c.socket->state() == QAbstractSocket::ConnectedState)
            ++count;
    }
    return count;
}

void ScriptedServer::reply(Connection &connection, const QByteArray &bytes)
{
    if (!connection.socket)
        return;
    connection.socket->write(bytes);
    connection.socket->disconnectFromHost();
}
