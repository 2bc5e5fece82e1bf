#pragma once

#include <QtGlobal>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A real listening TCP socket on loopback, on a port the kernel picks (so tests may run in
// parallel), optionally also on [::1] with the same port.
class ListeningSocket {
public:
    ListeningSocket() {
        m_v4 = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_v4 < 0 || ::bind(m_v4, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(m_v4, 4) != 0 ||
            ::getsockname(m_v4, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
    }
    ~ListeningSocket() {
        for (int fd : {m_v4, m_v6})
            if (fd >= 0)
                ::close(fd);
    }
    ListeningSocket(const ListeningSocket &) = delete;
    ListeningSocket &operator=(const ListeningSocket &) = delete;

    bool isListening() const { return m_port > 0; }
    quint16 port() const { return m_port; }

    bool alsoListenOnIPv6Loopback() {
        m_v6 = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(m_port);
        return m_v6 >= 0 &&
               ::bind(m_v6, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
               ::listen(m_v6, 4) == 0;
    }

private:
    int m_v4 = -1;
    int m_v6 = -1;
    quint16 m_port = 0;
};

// A loopback port nothing listens on right now.
inline quint16 freePort() {
    quint16 port;
    {
        ListeningSocket probe;
        port = probe.port();
    }
    return port;
}
