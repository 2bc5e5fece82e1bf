#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <chrono>
#include <functional>
#include <qcoro/qcorotask.h>
#include <stop_token>

struct inet_diag_msg;

// A socket listening on a port as the kernel's table shows it to every user: who owns it and the
// address it is bound to, even when lsof may not show its process.
struct KernelListener {
    uint uid = 0;
    QString user;    // the name of `uid`, or empty when it has none
    QString address; // as lsof writes it: 127.0.0.1, [::1], or * for every address

    friend bool operator==(const KernelListener &, const KernelListener &) = default;
};

// The listening sockets of a port seen by the kernel rather than by lsof: an ordinary user's lsof
// lists only that user's processes, and another user's server must not look like a free port.
using FindHiddenListener = std::function<QCoro::Task<QList<KernelListener>>(qint64 port)>;
// Whether a listener takes `port` before `deadline`; false as well once `stop` is requested.
using AwaitListener = std::function<QCoro::Task<bool>(
    qint64 port, std::chrono::steady_clock::time_point deadline, std::stop_token stop)>;

namespace KernelTcpTable {

// Reads /proc/net/tcp and /proc/net/tcp6 on a background thread, and names the owners.
QCoro::Task<QList<KernelListener>> listeners(qint64 port);

// Whether anything listens on `port` now: sock_diag on a background thread, or the /proc tables
// where sock_diag does not answer.
QCoro::Task<bool> hasListener(qint64 port);

// Looks as hasListener does every `pollInterval` on a background thread, whose wait a stop
// request ends at once: where lsof would walk every process's descriptors, the kernel looks
// through its listening sockets alone.
QCoro::Task<bool> awaitListener(qint64 port, std::chrono::steady_clock::time_point deadline,
                                std::stop_token stop);
inline constexpr std::chrono::milliseconds pollInterval{100};

// The rows of a /proc/net/tcp or /proc/net/tcp6 table in the LISTEN state on `port`, one for
// each owner and address, in table order; `user` is left empty.
QList<KernelListener> tableListeners(QStringView table, qint64 port);

// Walks sock_diag's TCP sockets of `family` (AF_INET or AF_INET6) in the LISTEN state, on `port`
// or on every port for 0, until `each` returns false. False when sock_diag did not answer in
// full (a kernel without inet_diag, a sandbox).
bool forEachListening(int family, quint16 port,
                      const std::function<bool(const inet_diag_msg &)> &each);

} // namespace KernelTcpTable
