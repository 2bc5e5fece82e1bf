#pragma once

#include "commandRunner.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>

// A container that a runtime says publishes a host port.
struct PublishedContainer {
    Q_GADGET
    Q_PROPERTY(QString runtime MEMBER runtime CONSTANT)
    Q_PROPERTY(QString id MEMBER id CONSTANT)
    Q_PROPERTY(QString shortId READ shortId CONSTANT)
    Q_PROPERTY(QString name MEMBER name CONSTANT)
    Q_PROPERTY(QString image MEMBER image CONSTANT)
    Q_PROPERTY(QString stopCommand READ stopCommand CONSTANT)
    Q_PROPERTY(QString description READ description CONSTANT)

public:
    QString runtime; // "Docker" or "Podman"
    QString id;
    QString name;
    QString image;
    QString program; // the runtime's command-line tool that found it
    QString socket;  // Docker's socket it was found at; empty for Podman

    QString shortId() const { return id.left(12); }
    // "Docker container qm-web (c3d3bea1d0cb), image qm-busybox"
    QString description() const;
    QStringList stopArguments() const;
    // What the user would type: the tool by name, the socket only where it is not the default.
    QString stopCommand() const;

    friend bool operator==(const PublishedContainer &, const PublishedContainer &) = default;
};

// What the runtimes said about a port: the container, if one publishes it, and a plain line for
// each runtime that is there but could not be asked.
struct ContainerLookup {
    std::optional<PublishedContainer> container;
    QStringList notes;
};

// One runtime found on this machine, before anything is run.
struct RuntimeEndpoint {
    QString runtime; // "Docker" or "Podman"
    QString program; // its command-line tool, empty when not installed
    QString socket;  // Docker's socket
};

// Asks Docker and Podman, through their own tools, which container publishes a host port, and
// stops one. Only runtimes whose socket or state folder exists are asked, so a machine without
// any costs a few stat calls; every question has a deadline.
class ContainerRuntime {
public:
    using FindRuntimes = std::function<QList<RuntimeEndpoint>()>;

    explicit ContainerRuntime(RunStoppableCommand run = CommandRunner::runStoppable,
                              FindRuntimes findRuntimes = presentRuntimes,
                              std::chrono::milliseconds timeout = lookupTimeout);
    // None to ask: for windows whose tools are scripted.
    static ContainerRuntime absent();

    QCoro::Task<ContainerLookup> publisherOf(qint64 port, std::stop_token stop = {}) const;
    // Empty on success, else the tool's own reason; `refused` when it lacked permission.
    QCoro::Task<std::optional<QString>> stop(PublishedContainer container, bool *refused) const;

    // Docker's rootful and rootless sockets and Podman's state folders that exist now.
    static QList<RuntimeEndpoint> presentRuntimes();
    // The container in `docker ps --format '{{json .}}'` output (one object a line) or in
    // `podman ps --format json` output (one array) whose ports publish `port` on the host.
    static std::optional<PublishedContainer> dockerPublisher(const QString &output, qint64 port);
    static std::optional<PublishedContainer> podmanPublisher(const QString &output, qint64 port);
    // Whether Docker's "0.0.0.0:8000-8001->8000-8001/tcp, :::18080->80/tcp" publishes `port`.
    static bool dockerPortsPublish(const QString &ports, qint64 port);
    // The plain line for a tool that failed to answer.
    static QString noteFor(const QString &runtime, const CommandResult &result);

    static constexpr std::chrono::milliseconds lookupTimeout{3000};
    // `docker stop` waits 10 s before it kills.
    static constexpr std::chrono::milliseconds stopTimeout{30000};

private:
    RunStoppableCommand m_run;
    FindRuntimes m_findRuntimes;
    std::chrono::milliseconds m_timeout;
};

Q_DECLARE_METATYPE(PublishedContainer)
