#pragma once

#include <QList>
#include <QtGlobal>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

// Real listeners on one port: forked children named listener1, listener2, ..., each with a socket
// of its own (SO_REUSEPORT), so lsof reports one line per process. They listen on 127.0.0.1, or
// on [::] alone, which only the kernel's IPv6 table shows. They ignore SIGTERM, so a plain kill
// leaves them listening; they are killed and reaped when the group goes.
class ListenerGroup {
public:
    explicit ListenerGroup(int processes, bool ipv6Only = false) : m_ipv6Only(ipv6Only) {
        while (m_children.size() < processes)
            if (!add()) {
                m_port = 0;
                return;
            }
    }
    ~ListenerGroup() {
        for (pid_t pid : m_children) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    ListenerGroup(const ListenerGroup &) = delete;
    ListenerGroup &operator=(const ListenerGroup &) = delete;

    bool isListening() const { return m_port > 0; }
    quint16 port() const { return m_port; }
    const QList<pid_t> &children() const { return m_children; }

    // The first child takes a port the kernel picks; the others join it.
    bool add() {
        const auto number = m_children.size() + 1;
        int ready[2];
        if (::pipe(ready) != 0)
            return false;
        char name[] = "listener0";
        name[8] = char('0' + number % 10);
        const quint16 wanted = m_port;
        const pid_t pid = ::fork();
        if (pid == 0)
            listenUntilKilled(ready[1], wanted, name, m_ipv6Only);
        ::close(ready[1]);
        quint16 port = 0;
        const bool started = pid > 0 && ::read(ready[0], &port, sizeof port) == sizeof port;
        ::close(ready[0]);
        if (pid > 0)
            m_children.append(pid);
        m_port = port;
        return started && port > 0;
    }

private:
    // Only async-signal-safe calls: the child of a threaded program must not touch locks. It drops
    // every inherited descriptor so it holds no other group's socket.
    [[noreturn]] static void listenUntilKilled(int ready, quint16 port, const char *name,
                                               bool ipv6Only) {
        ::close_range(3, ready - 1, 0);
        ::close_range(ready + 1, ~0U, 0);
        ::signal(SIGTERM, SIG_IGN);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // a crashed test must not leave them holding its output
        ::prctl(PR_SET_NAME, name);
        sockaddr_in v4{};
        v4.sin_family = AF_INET;
        v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        v4.sin_port = htons(port);
        sockaddr_in6 v6{};
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        auto *address =
            ipv6Only ? reinterpret_cast<sockaddr *>(&v6) : reinterpret_cast<sockaddr *>(&v4);
        socklen_t length = ipv6Only ? sizeof v6 : sizeof v4;
        const int fd = ::socket(address->sa_family, SOCK_STREAM, 0);
        const int on = 1;
        quint16 bound = 0;
        if (fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) == 0 &&
            (!ipv6Only || ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) == 0) &&
            ::bind(fd, address, length) == 0 && ::listen(fd, 4) == 0 &&
            ::getsockname(fd, address, &length) == 0)
            bound = ntohs(ipv6Only ? v6.sin6_port : v4.sin_port);
        if (::write(ready, &bound, sizeof bound) != sizeof bound || bound == 0)
            ::_exit(1);
        ::close(ready);
        for (;;)
            ::pause();
    }

    bool m_ipv6Only;
    quint16 m_port = 0;
    QList<pid_t> m_children;
};
