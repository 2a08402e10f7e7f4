#pragma once

#include <QByteArray>
#include <QList>

#include <thread>

// Thousands of servers on distinct loopback addresses 127.0.x.y, every other one listening on a
// shared port and the rest closed. A thread of their own accepts at once (a full accept queue
// would cost a connecting client a one-second SYN resend) and closes each connection when its
// client does.
class LoopbackServers final
{
public:
    explicit LoopbackServers(int count);
    ~LoopbackServers();
    LoopbackServers(const LoopbackServers &) = delete;
    LoopbackServers &operator=(const LoopbackServers &) = delete;

    // False (with error()) when the addresses or the port could not be taken.
    bool start();
    const QByteArray &error() const { return m_error; }

    int port() const { return m_port; }
    // Dotted addresses in order; even positions listen, odd ones are closed.
    const QList<QByteArray> &addresses() const { return m_addresses; }
    static bool listensAt(int position) { return position % 2 == 0; }

private:
    void serve();

    QList<QByteArray> m_addresses;
    QList<int> m_listeners;
    int m_port = 0;
    int m_epoll = -1;
    int m_wake = -1;
    QByteArray m_error;
    std::thread m_thread;
};
