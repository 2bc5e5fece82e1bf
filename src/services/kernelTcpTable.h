#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <functional>
#include <qcoro/qcorotask.h>

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

namespace KernelTcpTable {

// Reads /proc/net/tcp and /proc/net/tcp6 on a background thread, and names the owners.
QCoro::Task<QList<KernelListener>> listeners(qint64 port);

// The rows of a /proc/net/tcp or /proc/net/tcp6 table in the LISTEN state on `port`, one for
// each owner and address, in table order; `user` is left empty.
QList<KernelListener> tableListeners(QStringView table, qint64 port);

} // namespace KernelTcpTable
