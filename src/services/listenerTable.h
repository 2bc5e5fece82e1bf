#pragma once

#include "processIdentity.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <qcoro/qcorotask.h>
#include <sys/types.h>

// A process that holds a listening socket, with what its row shows and nothing more.
struct ListenerHolder {
    pid_t pid = 0;
    QString name; // comm, whole, where lsof cuts it at nine characters
    QString user;
    ProcessIdentity::ServiceKind serviceKind = ProcessIdentity::ServiceKind::none;
    QString service;
};

// Every socket listening on one TCP port in this network namespace, IPv4 and IPv6 together.
struct PortListeners {
    quint16 port = 0;
    QStringList addresses; // as lsof writes them: 127.0.0.1, [::1], * for every address
    QList<ListenerHolder> holders;
    // The owners of sockets no process the user may inspect holds: another user's server.
    QStringList hiddenOwners;
};

namespace ListenerTable {

// One dump of the kernel's listening sockets (sock_diag), matched to processes by the sockets
// their /proc/PID/fd links name; in port order. Nothing when sock_diag does not answer.
std::optional<QList<PortListeners>> readBlocking();
// The same on a background thread.
QCoro::Task<std::optional<QList<PortListeners>>> read();

} // namespace ListenerTable
