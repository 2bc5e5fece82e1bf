#include "processIdentity.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray readProcFile(const QByteArray &path) {
    return ProcessIdentity::readFileAt(AT_FDCWD, path.constData());
}

// Empty when the link may not be read (another user's process).
QString readProcLink(const QByteArray &path) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.constData(), target, sizeof target);
    return length > 0 ? QFile::decodeName(QByteArray(target, length)) : QString();
}

// The fields of /proc/PID/stat after the name, which is in parentheses and may hold both
// spaces and parentheses itself: the first field is the state, the second the parent's PID.
QList<QByteArray> statFieldsAfterName(const QByteArray &stat) {
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 ? QList<QByteArray>() : stat.mid(close + 1).simplified().split(' ');
}

// Arguments that a shell would take back unchanged stay bare; the rest are single-quoted, so a
// copied command line can be pasted into a terminal.
QString shellWord(const QString &argument) {
    static const QRegularExpression bare(QStringLiteral(u"^[\\w@%+=:,./-]+$"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    if (bare.match(argument).hasMatch())
        return argument;
    QString quoted = argument;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QString nameOf(const QByteArray &comm) {
    return QString::fromUtf8(comm).trimmed();
}

bool isUserManager(const QString &component) {
    static const QRegularExpression manager(QStringLiteral("^user@\\d+\\.service$"));
    return manager.match(component).hasMatch();
}

// Walks a cgroup path from the process outwards: the innermost container scope or service unit
// is what would bring the process back.
std::pair<ProcessIdentity::ServiceKind, QString> classify(const QString &path) {
    using Kind = ProcessIdentity::ServiceKind;
    static const QRegularExpression container(
        QStringLiteral("^(?:([a-z][a-z-]*)-)?([0-9a-f]{64})(?:\\.scope)?$"));
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    for (qsizetype i = parts.size() - 1; i >= 0; --i) {
        const QString &part = parts.at(i);
        if (const auto match = container.match(part); match.hasMatch()) {
            // docker-ID.scope under systemd, /docker/ID with Docker's own cgroup driver
            static const QRegularExpression runtimeName(QStringLiteral("^[a-z][a-z-]*$"));
            const QString parent = i > 0 ? parts.at(i - 1) : QString();
            QString runtime = !match.captured(1).isEmpty()           ? match.captured(1)
                              : runtimeName.match(parent).hasMatch() ? parent
                                                                     : QString();
            // Podman's monitor of a container runs in a scope of its own, named for the same ID.
            if (runtime == QLatin1String("libpod-conmon"))
                runtime = QStringLiteral("libpod");
            return {Kind::container,
                    (runtime.isEmpty() ? QString() : runtime + u' ') + match.captured(2).left(12)};
        }
        if (isUserManager(part))
            break;
        if (part.endsWith(QLatin1String(".service"))) {
            const bool user = std::any_of(parts.begin(), parts.begin() + i, isUserManager);
            return {user ? Kind::userUnit : Kind::systemUnit, part};
        }
    }
    return {Kind::none, {}};
}

pid_t parentPidOf(const QByteArray &stat) {
    bool ok = false;
    const int parent = statFieldsAfterName(stat).value(1).toInt(&ok);
    return ok && parent > 0 ? parent : 0;
}

QString commandLineOf(const QByteArray &cmdline) {
    QByteArray text = cmdline;
    while (text.endsWith('\0'))
        text.chop(1);
    const QList<QByteArray> arguments = text.split('\0');
    // One argument is a title the process wrote over its own arguments (nginx: master process
    // ...): show it as written.
    if (arguments.size() == 1)
        return QString::fromUtf8(text);
    QStringList words;
    for (const QByteArray &argument : arguments)
        words << shellWord(QString::fromUtf8(argument));
    return words.join(u' ');
}

QString runningText(qint64 seconds) {
    const auto two = [](qint64 big, const char *bigUnit, qint64 small, const char *smallUnit) {
        return QString::number(big) + u' ' + QLatin1String(bigUnit) + u' ' +
               QString::number(small) + u' ' + QLatin1String(smallUnit);
    };
    if (seconds >= 86400)
        return two(seconds / 86400, "d", seconds % 86400 / 3600, "h");
    if (seconds >= 3600)
        return two(seconds / 3600, "h", seconds % 3600 / 60, "min");
    if (seconds >= 60)
        return two(seconds / 60, "min", seconds % 60, "s");
    return QString::number(seconds) + QStringLiteral(" s");
}

QStringList argumentsOf(const QByteArray &cmdline) {
    QByteArray text = cmdline;
    while (text.endsWith('\0'))
        text.chop(1);
    QStringList arguments;
    if (!text.isEmpty())
        for (const QByteArray &argument : text.split('\0'))
            arguments << QString::fromUtf8(argument);
    return arguments;
}

QString fileNameOf(const QString &path) {
    return path.section(u'/', -1);
}

// The kernel keeps 15 bytes of a name; the program's file name may go on from there.
QString wholeNameOf(const QString &comm, const QString &firstArgument, const QString &executable) {
    if (comm.toUtf8().size() < 15)
        return comm;
    for (const QString &candidate : {fileNameOf(executable), fileNameOf(firstArgument)})
        if (candidate.size() > comm.size() && candidate.size() <= NAME_MAX &&
            candidate.startsWith(comm))
            return candidate;
    return comm;
}

// The processes that hold a container's published port for it. Podman starts some of its
// helpers as itself under another first argument.
struct Plumbing {
    QLatin1StringView name;
    ProcessIdentity::Role role;
    QLatin1StringView runtime;
};
constexpr Plumbing plumbing[] = {
    {QLatin1StringView("docker-proxy"), ProcessIdentity::Role::containerForwarder,
     QLatin1StringView("Docker")},
    {QLatin1StringView("dockerd"), ProcessIdentity::Role::containerDaemon,
     QLatin1StringView("Docker")},
    {QLatin1StringView("rootlesskit"), ProcessIdentity::Role::containerForwarder,
     QLatin1StringView("Docker")},
    {QLatin1StringView("rootlesskit-docker-proxy"), ProcessIdentity::Role::containerForwarder,
     QLatin1StringView("Docker")},
    {QLatin1StringView("conmon"), ProcessIdentity::Role::containerForwarder,
     QLatin1StringView("Podman")},
    {QLatin1StringView("rootlessport"), ProcessIdentity::Role::containerForwarder,
     QLatin1StringView("Podman")},
    {QLatin1StringView("pasta"), ProcessIdentity::Role::containerForwarder,
     QLatin1StringView("Podman")},
    {QLatin1StringView("slirp4netns"), ProcessIdentity::Role::containerForwarder,
     QLatin1StringView("Podman")},
};

// The kernel's name alone can be any program's: the program it runs must say the same.
const Plumbing *plumbingOf(const QString &name, const QStringList &arguments,
                           const QString &executable) {
    const QString program = fileNameOf(executable);
    const QString first = fileNameOf(arguments.value(0));
    const bool reexecuted = program == QLatin1String("podman");
    for (const Plumbing &each : plumbing)
        if (name == each.name && (first == each.name || program == each.name || reexecuted))
            return &each;
    return nullptr;
}

QString hostAndPort(const QString &host, const QString &port) {
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + port;
}

// docker-proxy -proto tcp -host-ip 127.0.0.1 -host-port 18080 -container-ip 172.17.0.2 ...
QString forwardingOf(const QStringList &arguments) {
    const auto value = [&arguments](QLatin1StringView option) {
        const qsizetype at = arguments.indexOf(option);
        return at > 0 ? arguments.value(at + 1) : QString();
    };
    const QString hostPort = value(QLatin1StringView("-host-port"));
    const QString containerPort = value(QLatin1StringView("-container-port"));
    if (hostPort.isEmpty() || containerPort.isEmpty())
        return {};
    return hostAndPort(value(QLatin1StringView("-host-ip")), hostPort) + QStringLiteral(" to ") +
           hostAndPort(value(QLatin1StringView("-container-ip")), containerPort);
}

QString roleText(const ProcessIdentity &identity) {
    using Role = ProcessIdentity::Role;
    if (identity.role == Role::containerDaemon)
        return QStringLiteral("the ") + identity.runtime + QStringLiteral(" daemon");
    if (identity.role != Role::containerForwarder)
        return {};
    if (identity.name == QLatin1String("conmon"))
        return identity.runtime + QStringLiteral("'s container monitor");
    return identity.runtime + QStringLiteral("'s port forwarder");
}

std::pair<ProcessIdentity::ServiceKind, QString> serviceOf(const QByteArray &cgroup) {
    // The unified hierarchy's line; the cgroup v1 controllers' lines say nothing about units.
    for (const QByteArray &line : cgroup.split('\n'))
        if (line.startsWith("0::"))
            return classify(QString::fromUtf8(line.mid(3)));
    return {ProcessIdentity::ServiceKind::none, {}};
}

// systemd's user manager, or its activator for a socket of one's own: a manager that holds the
// port for a service it starts. Read from the process's own executable and arguments; the
// kernel's name of systemd-socket-activate is cut to fifteen characters.
enum class Manager { none, activator, user };
Manager managerOf(const QByteArray &cmdline, const QString &executable) {
    const QList<QByteArray> arguments = cmdline.split('\0');
    const QByteArray program =
        executable.isEmpty() ? arguments.value(0) : QFile::encodeName(executable);
    const QByteArray name = program.mid(program.lastIndexOf('/') + 1);
    if (name == "systemd-socket-activate")
        return Manager::activator;
    return name == "systemd" && arguments.contains(QByteArrayLiteral("--user")) ? Manager::user
                                                                                : Manager::none;
}

} // namespace

QString ProcessIdentity::summary() const {
    QStringList lines;
    const auto add = [&lines](const char *label, const QString &value) {
        if (!value.isEmpty())
            lines << QLatin1String(label) + QStringLiteral(": ") + value;
    };
    add("Name", name);
    add("Command line", commandLine);
    add("Working directory", workingDirectory);
    add("Executable", executable);
    if (parentPid > 0)
        add("Parent", (parentName.isEmpty() ? QString() : parentName + u' ') +
                          QStringLiteral("PID ") + QString::number(parentPid));
    if (runningSeconds >= 0)
        add("Running for", runningText(runningSeconds));
    add("Role", roleText(*this));
    add("Forwards", forwarding);
    switch (serviceKind) {
    case ServiceKind::systemUnit:
        add("System service", service);
        break;
    case ServiceKind::userUnit:
        add("User service", service);
        break;
    case ServiceKind::container:
        add("Container", service);
        break;
    case ServiceKind::none:
        break;
    }
    add("Socket unit", socketUnit);
    return lines.join(u'\n');
}

QString ProcessIdentity::stopCommand() const {
    switch (serviceKind) {
    case ServiceKind::systemUnit:
        return QStringLiteral("systemctl stop ") + shellWord(service);
    case ServiceKind::userUnit:
        return QStringLiteral("systemctl --user stop ") + shellWord(service);
    case ServiceKind::container: {
        // "RUNTIME ID"; Podman names its scopes libpod-ID.
        const QString runtime = service.section(u' ', 0, -2);
        const QString id = service.section(u' ', -1);
        if (runtime == QLatin1String("docker"))
            return QStringLiteral("docker stop ") + id;
        if (runtime == QLatin1String("libpod"))
            return QStringLiteral("podman stop ") + id;
        return {};
    }
    case ServiceKind::none:
        break;
    }
    if (role == Role::serviceManager && !socketUnit.isEmpty()) {
        QStringList words{QStringLiteral("systemctl")};
        if (userManager)
            words << QStringLiteral("--user");
        words << QStringLiteral("stop") << shellWord(socketUnit);
        for (const QString &unit : startedUnits)
            words << shellWord(unit);
        return words.join(u' ');
    }
    return {};
}

QString ProcessIdentity::socketUnitLine() const {
    if (role != Role::serviceManager)
        return {};
    if (socketUnit.isEmpty())
        return QStringLiteral("A service manager holds this port.");
    QString line = QStringLiteral("Socket unit ") + socketUnit;
    if (!startedUnits.isEmpty())
        line += QStringLiteral(" (starts ") + startedUnits.join(QStringLiteral(", ")) + u')';
    return line;
}

// Plain reads: a scan reads eight of these for each listener before its card can show, and
// QFile's buffering and checks cost more than the reads themselves.
QByteArray ProcessIdentity::readFileAt(int dir, const char *path) {
    const int fd = ::openat(dir, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(fd);
    return text;
}

ProcessIdentity ProcessIdentity::read(pid_t pid) {
    if (pid <= 0)
        return {};
    const QByteArray dir = "/proc/" + QByteArray::number(pid) + '/';
    ProcTexts texts;
    texts.comm = readProcFile(dir + "comm");
    texts.cmdline = readProcFile(dir + "cmdline");
    texts.stat = readProcFile(dir + "stat");
    texts.cgroup = readProcFile(dir + "cgroup");
    texts.uptime = readProcFile("/proc/uptime");
    texts.workingDirectory = readProcLink(dir + "cwd");
    texts.executable = readProcLink(dir + "exe");
    if (const pid_t parent = parentPidOf(texts.stat); parent > 0)
        texts.parentComm = readProcFile("/proc/" + QByteArray::number(parent) + "/comm");
    ProcessIdentity identity = parse(texts, ::sysconf(_SC_CLK_TCK));
    // Whatever it runs, the init process is the one that binds a socket unit's ports.
    if (pid == 1)
        identity.role = Role::serviceManager;
    return identity;
}

ProcessIdentity ProcessIdentity::parse(const ProcTexts &texts, long ticksPerSecond) {
    ProcessIdentity identity;
    // Most listeners are neither cut nor plumbing: their arguments need no second reading.
    const QString comm = nameOf(texts.comm);
    const bool cut = comm.toUtf8().size() >= 15;
    const bool mayBePlumbing =
        cut || std::any_of(std::begin(plumbing), std::end(plumbing),
                           [&comm](const Plumbing &each) { return comm == each.name; });
    const QStringList arguments = mayBePlumbing ? argumentsOf(texts.cmdline) : QStringList();
    identity.name = wholeNameOf(comm, arguments.value(0), texts.executable);
    identity.commandLine = commandLineOf(texts.cmdline);
    identity.workingDirectory = texts.workingDirectory;
    identity.executable = texts.executable;
    identity.parentPid = parentPidOf(texts.stat);
    identity.parentName = nameOf(texts.parentComm);
    // Field 22 of the stat line, the start in clock ticks after boot, is the 20th after the name.
    const QList<QByteArray> fields = statFieldsAfterName(texts.stat);
    bool startOk = false, uptimeOk = false;
    const qint64 startTicks = fields.value(19).toLongLong(&startOk);
    const double uptime = texts.uptime.split(' ').value(0).toDouble(&uptimeOk);
    if (startOk && startTicks > 0)
        identity.startTime = startTicks;
    if (startOk && uptimeOk && ticksPerSecond > 0)
        identity.runningSeconds =
            std::max<qint64>(0, qint64(std::floor(uptime - double(startTicks) / ticksPerSecond)));
    std::tie(identity.serviceKind, identity.service) = serviceOf(texts.cgroup);
    if (const Plumbing *role =
            mayBePlumbing ? plumbingOf(identity.name, arguments, texts.executable) : nullptr) {
        identity.role = role->role;
        identity.runtime = role->runtime;
        if (identity.name == QLatin1String("slirp4netns") &&
            identity.parentName.startsWith(QLatin1String("rootlesskit")))
            identity.runtime = QStringLiteral("Docker");
        if (identity.name == QLatin1String("docker-proxy"))
            identity.forwarding = forwardingOf(arguments);
        // The daemon's unit holds every container: stopping it is never the remedy for one port.
        if (identity.serviceKind == ServiceKind::systemUnit ||
            identity.serviceKind == ServiceKind::userUnit) {
            identity.serviceKind = ServiceKind::none;
            identity.service.clear();
        }
    }
    if (const Manager manager = managerOf(texts.cmdline, texts.executable);
        manager != Manager::none) {
        identity.role = Role::serviceManager;
        identity.userManager = manager == Manager::user;
    }
    return identity;
}

QString ProcessIdentity::wholeName(const QString &lsofName) const {
    return !lsofName.isEmpty() && name.size() > lsofName.size() && name.startsWith(lsofName)
               ? name
               : lsofName;
}

bool ProcessIdentity::sameService(const ProcessIdentity &gone, const ProcessIdentity &found) {
    if (gone.serviceKind != ServiceKind::none)
        return found.serviceKind == gone.serviceKind && found.service == gone.service;
    // Every daemon is a child of init, so a shared parent says something only below it.
    return gone.parentPid > 1 && found.parentPid == gone.parentPid && !gone.commandLine.isEmpty() &&
           found.commandLine == gone.commandLine;
}
