#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <sys/types.h>

// Who a listener is, beyond the nine characters lsof shows: read from /proc/PID when the scan
// lists it. A field the user may not read stays empty and is left out of the summary.
struct ProcessIdentity {
    Q_GADGET
    Q_PROPERTY(QString commandLine MEMBER commandLine CONSTANT)
    Q_PROPERTY(QString summary READ summary CONSTANT)
    Q_PROPERTY(QString stopCommand READ stopCommand CONSTANT)
    // Empty unless the process is a container runtime's plumbing.
    Q_PROPERTY(QString runtime MEMBER runtime CONSTANT)
    Q_PROPERTY(QString socketUnitLine READ socketUnitLine CONSTANT)

public:
    enum class ServiceKind { none, systemUnit, userUnit, container };
    // What the process is to the port beyond its own server: plumbing that holds the port for a
    // container, or a service manager that holds it for a socket unit.
    enum class Role { ordinary, containerForwarder, containerDaemon, serviceManager };

    // The files of one process as the kernel prints them; empty when unreadable.
    struct ProcTexts {
        QByteArray comm;
        QByteArray cmdline;
        QByteArray stat;
        QByteArray cgroup;
        QByteArray parentComm;
        QByteArray uptime;
        QString workingDirectory; // the targets of the cwd and exe links
        QString executable;
    };

    // The kernel's own name of the process (comm), whole where comm cuts it at 15 characters and
    // the executable's or the first argument's file name goes on from it.
    QString name;
    QString commandLine;
    QString workingDirectory;
    QString executable;
    pid_t parentPid = 0;
    QString parentName;
    qint64 runningSeconds = -1;
    // Field 22 of /proc/PID/stat, clock ticks after boot; -1 unread. With the PID it names one
    // process: a PID used again belongs to a process started later.
    qint64 startTime = -1;
    ServiceKind serviceKind = ServiceKind::none;
    QString service; // a unit such as nginx.service, or a container such as "docker 1a2b3c4d5e6f"
    Role role = Role::ordinary;
    // For plumbing: whose it is ("Docker", "Podman"), and for docker-proxy what it forwards
    // ("127.0.0.1:18080 to 172.17.0.2:80").
    QString runtime;
    QString forwarding;
    // A service manager's socket unit on the port, and the units it starts, as its manager names
    // them; empty when none answered. `userManager`: a `systemd --user`, else the system's.
    QString socketUnit;
    QStringList startedUnits;
    bool userManager = false;

    // One "Label: value" line per known field, for the tooltip and the screen reader.
    QString summary() const;
    // What stops the unit or container for good, ready to paste into a shell; empty when the
    // process has none, or its container runtime is not Docker or Podman.
    QString stopCommand() const;
    // For a service manager, its card's line: the socket unit, or plainly that a service manager
    // holds the port; empty for any other process.
    QString socketUnitLine() const;

    // The name to show for a listener lsof named `lsofName`: the whole name when lsof's is a cut
    // prefix of it, else lsof's.
    Q_INVOKABLE QString wholeName(const QString &lsofName) const;

    static ProcessIdentity read(pid_t pid);
    // The whole of a small file such as /proc/PID/stat, relative to the folder `dir` is open on
    // (AT_FDCWD: the working directory); empty when it cannot be read.
    static QByteArray readFileAt(int dir, const char *path);
    static ProcessIdentity parse(const ProcTexts &texts, long ticksPerSecond);
    // Whether `found` looks like `gone` started again: the same unit or container, or the same
    // command line under the same parent (a supervisor that is not the init process).
    static bool sameService(const ProcessIdentity &gone, const ProcessIdentity &found);
};

Q_DECLARE_METATYPE(ProcessIdentity)
