#include "loopback_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

sockaddr_in socketAddress(const QByteArray &dotted, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, dotted.constData(), &address.sin_addr);
    return address;
}

} // namespace

LoopbackServers::LoopbackServers(int count)
{
    // 127.0.0.* is left to everybody else's fixtures.
    for (int i = 0; i < count; ++i)
        m_addresses.append(QByteArray("127.0.") + QByteArray::number(1 + i / 250) + '.'
                           + QByteArray::number(1 + i % 250));
}

LoopbackServers::~LoopbackServers()
{
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
        m_thread.join();
    }
    for (int fd : std::as_const(m_listeners))
        ::close(fd);
    for (int fd : {m_epoll, m_wake}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool LoopbackServers::start()
{
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event wakeEvent{};
    wakeEvent.events = EPOLLIN;
    wakeEvent.data.fd = m_wake;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &wakeEvent);

    for (int i = 0; i < m_addresses.size(); i += 2) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address = socketAddress(m_addresses[i], m_port);
        socklen_t length = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 || ::listen(fd, 4096) != 0) {
            m_error = "cannot listen on " + m_addresses[i] + ':' + QByteArray::number(m_port) + ": "
                      + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (m_port == 0) {
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
            m_port = ntohs(address.sin_port);
        }
        m_listeners.append(fd);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = (uint64_t(1) << 32) | uint32_t(fd);
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
    }

    // A listener on the wildcard address would answer for the closed half and spoil the mix.
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in closed = socketAddress(m_addresses.value(1, "127.0.1.2"), m_port);
    const bool refused = ::connect(probe, reinterpret_cast<const sockaddr *>(&closed), sizeof closed) != 0
                         && errno == ECONNREFUSED;
    ::close(probe);
    if (!refused) {
        m_error = "port " + QByteArray::number(m_port) + " answers on an address meant to be closed";
        return false;
    }

    m_thread = std::thread([this] { serve(); });
    return true;
}

void LoopbackServers::serve()
{
    epoll_event events[256];
    for (;;) {
        const int ready = ::epoll_wait(m_epoll, events, 256, -1);
        for (int e = 0; e < ready; ++e) {
            const uint64_t data = events[e].data.u64;
            const int fd = static_cast<int>(uint32_t(data));
            if (fd == m_wake)
                return;
            if (data >> 32) {
                while (true) {
                    const int client = ::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                    if (client < 0)
                        break;
                    epoll_event event{};
                    event.events = EPOLLIN | EPOLLRDHUP;
                    event.data.u64 = uint32_t(client);
                    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, client, &event);
                }
                continue;
            }
            char buffer[512];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EAGAIN)) {
                ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
                ::close(fd);
            }
        }
    }
}
