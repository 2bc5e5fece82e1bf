#include "socketUnits.h"

#include <QAtomicInteger>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QScopeGuard>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString systemd = QStringLiteral("org.freedesktop.systemd1");

QDBusMessage call(const QDBusConnection &bus, QDBusMessage message) {
    return bus.call(message, QDBus::Block, int(SocketUnits::callTimeout.count()));
}

// One property of a unit object, or an invalid variant when it did not answer.
QVariant property(const QDBusConnection &bus, const QString &path, const QString &interface,
                  const QString &name) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        systemd, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << interface << name;
    const QDBusMessage reply = call(bus, get);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

// The names and object paths of the manager's active socket units; its answer is checked against
// the signature systemd documents before it is read.
QList<std::pair<QString, QString>> activeSocketUnits(const QDBusConnection &bus) {
    QDBusMessage list = QDBusMessage::createMethodCall(
        systemd, QStringLiteral("/org/freedesktop/systemd1"),
        QStringLiteral("org.freedesktop.systemd1.Manager"), QStringLiteral("ListUnitsByPatterns"));
    list << QStringList() << QStringList{QStringLiteral("*.socket")};
    const QDBusMessage reply = call(bus, list);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const auto units = reply.arguments().constFirst().value<QDBusArgument>();
    if (units.currentSignature() != QLatin1String("a(ssssssouso)"))
        return {};
    QList<std::pair<QString, QString>> found;
    units.beginArray();
    while (!units.atEnd()) {
        QString name, description, loadState, activeState, subState, following, jobType;
        QDBusObjectPath path, jobPath;
        uint jobId = 0;
        units.beginStructure();
        units >> name >> description >> loadState >> activeState >> subState >> following >> path >>
            jobId >> jobType >> jobPath;
        units.endStructure();
        if (activeState == QLatin1String("active"))
            found.append({name, path.path()});
    }
    units.endArray();
    return found;
}

bool listensOnPort(const QVariant &listen, qint64 port) {
    const auto entries = listen.value<QDBusArgument>();
    if (entries.currentSignature() != QLatin1String("a(ss)"))
        return false;
    bool found = false;
    entries.beginArray();
    while (!entries.atEnd()) {
        QString type, address;
        entries.beginStructure();
        entries >> type >> address;
        entries.endStructure();
        found = found || SocketUnits::listensOn(type, address, port);
    }
    entries.endArray();
    return found;
}

} // namespace

bool SocketUnits::listensOn(const QString &type, const QString &address, qint64 port) {
    // "0.0.0.0:22", "[::]:22", "[fe80::1%eth0]:22"; not a path, an abstract name or a vsock.
    if (type != QLatin1String("Stream") || address.startsWith(u'/') || address.startsWith(u'@') ||
        address.startsWith(QLatin1String("vsock:")))
        return false;
    const qsizetype colon = address.lastIndexOf(u':');
    return colon > 0 && QStringView(address).mid(colon + 1) == QString::number(port);
}

std::optional<SocketUnits::SocketUnit> SocketUnits::find(QDBusConnection::BusType type,
                                                         qint64 port) {
    // A connection of this lookup's own: the shared ones belong to the GUI thread, and a bus
    // that was not there at one scan may be at the next.
    static QAtomicInteger<quint64> lookups;
    const QString name =
        QStringLiteral("quaymeter-socket-units-") + QString::number(lookups.fetchAndAddRelaxed(1));
    const QDBusConnection bus = QDBusConnection::connectToBus(type, name);
    const auto disconnect = qScopeGuard([&name] { QDBusConnection::disconnectFromBus(name); });
    if (!bus.isConnected())
        return std::nullopt;
    for (const auto &[unit, path] : activeSocketUnits(bus)) {
        const QVariant listen = property(
            bus, path, QStringLiteral("org.freedesktop.systemd1.Socket"), QStringLiteral("Listen"));
        if (listensOnPort(listen, port))
            return SocketUnit{unit,
                              property(bus, path, QStringLiteral("org.freedesktop.systemd1.Unit"),
                                       QStringLiteral("Triggers"))
                                  .toStringList()};
    }
    return std::nullopt;
}

void SocketUnits::describe(PortProcess &record) {
    ProcessIdentity &identity = record.identity;
    if (identity.role != ProcessIdentity::Role::serviceManager)
        return;
    std::optional<QDBusConnection::BusType> bus;
    struct stat owner {};
    const QByteArray dir = "/proc/" + QByteArray::number(record.pid);
    if (record.pid == 1)
        bus = QDBusConnection::SystemBus;
    else if (identity.userManager && ::stat(dir.constData(), &owner) == 0 &&
             owner.st_uid == ::getuid())
        bus = QDBusConnection::SessionBus; // another user's manager is not on our bus
    if (!bus)
        return;
    if (const std::optional<SocketUnit> unit = find(*bus, record.port)) {
        identity.socketUnit = unit->name;
        identity.startedUnits = unit->triggers;
    }
}
