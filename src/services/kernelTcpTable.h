#pragma once

#include <QString>
#include <QStringView>
#include <qcoro/qcorotask.h>

#include <functional>

// Whether some socket listens on a port, seen by the kernel rather than by lsof: an ordinary user's
// lsof lists only that user's processes, and another user's server must not look like a free port.
using FindHiddenListener = std::function<QCoro::Task<bool>(qint64 port)>;

namespace KernelTcpTable {

// Reads /proc/net/tcp and /proc/net/tcp6 on a background thread.
QCoro::Task<bool> hasListener(qint64 port);

// True when a row of a /proc/net/tcp or /proc/net/tcp6 table is in the LISTEN state on `port`.
bool tableHasListener(QStringView table, qint64 port);

} // namespace KernelTcpTable
