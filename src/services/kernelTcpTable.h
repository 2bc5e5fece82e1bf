#pragma once

#include <QString>
#include <QStringView>
#include <chrono>
#include <functional>
#include <qcoro/qcorotask.h>
#include <stop_token>

// Whether some socket listens on a port, seen by the kernel rather than by lsof: an ordinary user's
// lsof lists only that user's processes, and another user's server must not look like a free port.
using FindHiddenListener = std::function<QCoro::Task<bool>(qint64 port)>;
// Whether a listener takes `port` before `deadline`; false as well once `stop` is requested.
using AwaitListener = std::function<QCoro::Task<bool>(
    qint64 port, std::chrono::steady_clock::time_point deadline, std::stop_token stop)>;

namespace KernelTcpTable {

// Asks the kernel through sock_diag on a background thread, or reads /proc/net/tcp and
// /proc/net/tcp6 where sock_diag does not answer.
QCoro::Task<bool> hasListener(qint64 port);

// Looks as hasListener does every `pollInterval` on a background thread, whose wait a stop
// request ends at once: where lsof would walk every process's descriptors, the kernel looks
// through its listening sockets alone.
QCoro::Task<bool> awaitListener(qint64 port, std::chrono::steady_clock::time_point deadline,
                                std::stop_token stop);
inline constexpr std::chrono::milliseconds pollInterval{100};

// True when a row of a /proc/net/tcp or /proc/net/tcp6 table is in the LISTEN state on `port`.
bool tableHasListener(QStringView table, qint64 port);

} // namespace KernelTcpTable
