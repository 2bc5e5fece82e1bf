#pragma once

#include "portProcess.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

// systemd's own answer to "which socket unit is this port?", asked over D-Bus: the manager's
// socket units and each one's Listen addresses. Blocking calls, each with a timeout, on a
// connection of the caller's own: for a worker thread, never the GUI's.
namespace SocketUnits {

struct SocketUnit {
    QString name;         // ssh.socket
    QStringList triggers; // ssh.service
};

// Each call gives up after this: a manager that does not answer at once is not coming.
inline constexpr std::chrono::milliseconds callTimeout{1000};

// The active socket unit of the manager on `bus` that listens on TCP `port`, if one answers.
std::optional<SocketUnit> find(QDBusConnection::BusType bus, qint64 port);
// Whether one entry of a socket unit's Listen property, such as ("Stream", "[::]:22"), is a TCP
// listener on `port`.
bool listensOn(const QString &type, const QString &address, qint64 port);
// Fills in the socket unit of a listener that is a systemd manager: the system's (PID 1) on the
// system bus, this user's own `systemd --user` on the session bus.
void describe(PortProcess &record);

} // namespace SocketUnits
