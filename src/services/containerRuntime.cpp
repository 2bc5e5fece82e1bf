#include "containerRuntime.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const QString docker = QStringLiteral("Docker");

bool isSocket(const QString &path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISSOCK(status.st_mode);
}

bool isFolder(const QString &path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The tools print their warnings first and the error that ended them last.
QString lastLine(const QString &text) {
    return text.trimmed().section(u'\n', -1).trimmed().left(300);
}

struct Timed {
    CommandResult result;
    bool timedOut = false;
    std::optional<QString> launchError;
};

// The tool's run, ended when the caller gives up or the deadline passes.
QCoro::Task<Timed> runTimed(RunStoppableCommand run, QString program, QStringList arguments,
                            std::chrono::milliseconds timeout, std::stop_token outer) {
    std::stop_source source;
    const std::stop_callback follow(outer, [&source] { source.request_stop(); });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&source] { source.request_stop(); });
    timer.start(timeout);
    Timed timed;
    try {
        auto running = run(program, arguments, source.get_token());
        timed.result = co_await running;
    } catch (const CommandRunnerError &error) {
        timed.launchError = error.reason();
    }
    timed.timedOut = source.stop_requested() && !outer.stop_requested();
    co_return timed;
}

struct Answer {
    std::optional<PublishedContainer> container;
    QString note;
};

QCoro::Task<Answer> ask(RunStoppableCommand run, RuntimeEndpoint endpoint, qint64 port,
                        std::chrono::milliseconds timeout, std::stop_token stop) {
    if (endpoint.program.isEmpty())
        co_return Answer{{},
                         endpoint.runtime + QStringLiteral(" could not be asked: its ") +
                             endpoint.runtime.toLower() + QStringLiteral(" command is missing.")};
    const bool isDocker = endpoint.runtime == docker;
    const QStringList arguments =
        isDocker
            ? QStringList{QStringLiteral("-H"), QStringLiteral("unix://") + endpoint.socket,
                          QStringLiteral("ps"), QStringLiteral("--format"),
                          QStringLiteral("{{json .}}")}
            : QStringList{QStringLiteral("ps"), QStringLiteral("--format"), QStringLiteral("json")};
    auto running = runTimed(run, endpoint.program, arguments, timeout, stop);
    const Timed timed = co_await running;
    if (stop.stop_requested())
        co_return Answer{};
    if (timed.launchError)
        co_return Answer{{},
                         endpoint.runtime + QStringLiteral(" could not be asked: ") +
                             *timed.launchError + u'.'};
    if (timed.timedOut)
        co_return Answer{{},
                         endpoint.runtime + QStringLiteral(" did not answer within ") +
                             QString::number(double(timeout.count()) / 1000) +
                             QStringLiteral(" s.")};
    if (timed.result.exitCode != 0)
        co_return Answer{{}, ContainerRuntime::noteFor(endpoint.runtime, timed.result)};
    const QString &output = timed.result.standardOutput;
    std::optional<PublishedContainer> found = isDocker
                                                  ? ContainerRuntime::dockerPublisher(output, port)
                                                  : ContainerRuntime::podmanPublisher(output, port);
    if (found) {
        found->program = endpoint.program;
        found->socket = endpoint.socket;
    }
    co_return Answer{std::move(found), {}};
}

PublishedContainer containerFrom(const QString &runtime, const QJsonObject &object,
                                 const QString &idKey, const QString &name) {
    return PublishedContainer{runtime, object.value(idKey).toString(),
                              name,    object.value(QLatin1String("Image")).toString(),
                              {},      {}};
}

} // namespace

QString PublishedContainer::description() const {
    return runtime + QStringLiteral(" container ") + name + QStringLiteral(" (") + shortId() +
           u')' + (image.isEmpty() ? QString() : QStringLiteral(", image ") + image);
}

QStringList PublishedContainer::stopArguments() const {
    if (runtime == docker)
        return {QStringLiteral("-H"), QStringLiteral("unix://") + socket, QStringLiteral("stop"),
                id};
    return {QStringLiteral("stop"), id};
}

QString PublishedContainer::stopCommand() const {
    if (runtime != docker)
        return QStringLiteral("podman stop ") + shortId();
    const bool usual = socket.isEmpty() || socket == QLatin1String("/run/docker.sock") ||
                       socket == QLatin1String("/var/run/docker.sock");
    return QStringLiteral("docker ") +
           (usual ? QString() : QStringLiteral("-H unix://") + socket + u' ') +
           QStringLiteral("stop ") + shortId();
}

ContainerRuntime::ContainerRuntime(RunStoppableCommand run, FindRuntimes findRuntimes,
                                   std::chrono::milliseconds timeout)
    : m_run(std::move(run)), m_findRuntimes(std::move(findRuntimes)), m_timeout(timeout) {}

ContainerRuntime ContainerRuntime::absent() {
    return ContainerRuntime(CommandRunner::runStoppable, [] { return QList<RuntimeEndpoint>(); });
}

QList<RuntimeEndpoint> ContainerRuntime::presentRuntimes() {
    QList<RuntimeEndpoint> found;
    QStringList sockets;
    // The socket the docker command itself would use, when it is a local one.
    if (const QString host = qEnvironmentVariable("DOCKER_HOST");
        host.startsWith(QLatin1String("unix://")))
        sockets << host.mid(7);
    sockets << QStringLiteral("/run/docker.sock");
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty())
        sockets << runtimeDir + QStringLiteral("/docker.sock");
    sockets.removeDuplicates();
    QString dockerProgram;
    for (const QString &socket : std::as_const(sockets)) {
        if (!isSocket(socket))
            continue;
        if (dockerProgram.isEmpty())
            dockerProgram = QStandardPaths::findExecutable(QStringLiteral("docker"));
        found << RuntimeEndpoint{docker, dockerProgram, socket};
    }
    // Podman has no daemon: its state folder says it has run since boot, or its settings name
    // folders of their own.
    const bool podmanState =
        !qEnvironmentVariableIsEmpty("CONTAINERS_CONF") ||
        !qEnvironmentVariableIsEmpty("CONTAINERS_STORAGE_CONF") ||
        (::geteuid() == 0
             ? isFolder(QStringLiteral("/run/libpod")) ||
                   isFolder(QStringLiteral("/run/containers/storage"))
             : !runtimeDir.isEmpty() && (isFolder(runtimeDir + QStringLiteral("/libpod")) ||
                                         isFolder(runtimeDir + QStringLiteral("/containers"))));
    if (podmanState)
        found << RuntimeEndpoint{
            QStringLiteral("Podman"), QStandardPaths::findExecutable(QStringLiteral("podman")), {}};
    return found;
}

QCoro::Task<ContainerLookup> ContainerRuntime::publisherOf(qint64 port,
                                                           std::stop_token stop) const {
    const QList<RuntimeEndpoint> runtimes =
        m_findRuntimes ? m_findRuntimes() : QList<RuntimeEndpoint>();
    ContainerLookup lookup;
    // Every runtime is asked at once, so the slowest one sets the wait.
    std::vector<QCoro::Task<Answer>> asking;
    for (const RuntimeEndpoint &endpoint : runtimes)
        asking.push_back(ask(m_run, endpoint, port, m_timeout, stop));
    for (QCoro::Task<Answer> &each : asking) {
        Answer answer = co_await each;
        if (!lookup.container && answer.container)
            lookup.container = std::move(answer.container);
        if (!answer.note.isEmpty())
            lookup.notes << answer.note;
    }
    co_return lookup;
}

QCoro::Task<std::optional<QString>> ContainerRuntime::stop(PublishedContainer container,
                                                           bool *refused) const {
    auto running = runTimed(m_run, container.program, container.stopArguments(), stopTimeout, {});
    const Timed timed = co_await running;
    if (timed.launchError)
        co_return *timed.launchError;
    if (timed.timedOut)
        co_return QStringLiteral("it did not answer within 30 s");
    if (timed.result.exitCode == 0)
        co_return std::nullopt;
    const QString reason = lastLine(timed.result.standardError);
    if (refused)
        *refused = reason.contains(QLatin1String("permission denied"), Qt::CaseInsensitive);
    co_return reason.isEmpty()
        ? QStringLiteral("it ended with exit code ") + QString::number(timed.result.exitCode)
        : reason;
}

bool ContainerRuntime::dockerPortsPublish(const QString &ports, qint64 port) {
    for (const QString &entry : ports.split(QLatin1String(", "), Qt::SkipEmptyParts)) {
        const qsizetype arrow = entry.indexOf(QLatin1String("->"));
        if (arrow < 0 || !entry.endsWith(QLatin1String("/tcp")))
            continue;
        const QString hostPorts = entry.left(arrow).section(u':', -1);
        bool firstOk = false, lastOk = false;
        const qint64 first = hostPorts.section(u'-', 0, 0).toLongLong(&firstOk);
        const qint64 last =
            hostPorts.contains(u'-') ? hostPorts.section(u'-', 1, 1).toLongLong(&lastOk) : first;
        if (firstOk && (lastOk || !hostPorts.contains(u'-')) && first <= port && port <= last)
            return true;
    }
    return false;
}

std::optional<PublishedContainer> ContainerRuntime::dockerPublisher(const QString &output,
                                                                    qint64 port) {
    for (const QString &line : output.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        if (dockerPortsPublish(object.value(QLatin1String("Ports")).toString(), port))
            return containerFrom(
                docker, object, QStringLiteral("ID"),
                object.value(QLatin1String("Names")).toString().section(u',', 0, 0));
    }
    return std::nullopt;
}

std::optional<PublishedContainer> ContainerRuntime::podmanPublisher(const QString &output,
                                                                    qint64 port) {
    const QJsonArray containers = QJsonDocument::fromJson(output.toUtf8()).array();
    for (const QJsonValue &each : containers) {
        const QJsonObject object = each.toObject();
        for (const QJsonValue &mapping : object.value(QLatin1String("Ports")).toArray()) {
            const QJsonObject ports = mapping.toObject();
            const QString protocol = ports.value(QLatin1String("protocol")).toString();
            const qint64 first = ports.value(QLatin1String("host_port")).toInteger(-1);
            const qint64 range =
                std::max<qint64>(1, ports.value(QLatin1String("range")).toInteger(1));
            if ((protocol.isEmpty() || protocol == QLatin1String("tcp")) && first > 0 &&
                first <= port && port < first + range)
                return containerFrom(
                    QStringLiteral("Podman"), object, QStringLiteral("Id"),
                    object.value(QLatin1String("Names")).toArray().at(0).toString());
        }
    }
    return std::nullopt;
}

QString ContainerRuntime::noteFor(const QString &runtime, const CommandResult &result) {
    const QString reason = lastLine(result.standardError);
    if (reason.contains(QLatin1String("permission denied"), Qt::CaseInsensitive))
        return runtime + QStringLiteral(" could not be asked: permission denied.");
    if (reason.contains(QLatin1String("Cannot connect"), Qt::CaseInsensitive) ||
        reason.contains(QLatin1String("connection refused"), Qt::CaseInsensitive) ||
        reason.contains(QLatin1String("no such file"), Qt::CaseInsensitive))
        return runtime + QStringLiteral(" is not answering.");
    if (reason.isEmpty())
        return runtime + QStringLiteral(" could not be asked: it ended with exit code ") +
               QString::number(result.exitCode) + u'.';
    return runtime + QStringLiteral(" could not be asked: ") + reason;
}
