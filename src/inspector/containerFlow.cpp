#include "containerFlow.h"

#include "inspectorState.h"

#include <QPointer>
#include <QTimer>
#include <algorithm>

ContainerFlow::ContainerFlow(InspectorState &state, ContainerRuntime runtime)
    : m_state(state), m_runtime(std::move(runtime)) {}

ContainerFlow::~ContainerFlow() {
    m_stop.request_stop();
}

void ContainerFlow::forget() {
    m_stop.request_stop();
    m_state.setPortContainer(std::nullopt, {});
}

void ContainerFlow::follow(const QList<PortProcess> &shown, qint64 port) {
    const bool plumbing = std::any_of(shown.cbegin(), shown.cend(), [](const PortProcess &each) {
        return each.identity.role == ProcessIdentity::Role::containerForwarder ||
               each.identity.role == ProcessIdentity::Role::containerDaemon;
    });
    if (!shown.isEmpty() && !plumbing)
        return;
    m_stop.request_stop();
    m_stop = std::stop_source();
    lookUp(&m_state, m_runtime, port, shown.isEmpty(), m_stop.get_token());
}

QCoro::Task<void> ContainerFlow::lookUp(InspectorState *state, ContainerRuntime runtime,
                                        qint64 port, bool nothingListed, std::stop_token stop) {
    const QPointer<InspectorState> self(state);
    auto asking = runtime.publisherOf(port, stop);
    const ContainerLookup found = co_await asking;
    if (!self || stop.stop_requested())
        co_return;
    state->setPortContainer(found.container, found.notes.join(u' '));
    for (const QString &note : found.notes)
        state->appendActivity(note);
    if (!found.container)
        co_return;
    const QString portText = QString::number(port);
    state->appendActivity(QStringLiteral("Port ") + portText + QStringLiteral(" is published by ") +
                          found.container->runtime + QStringLiteral(" container ") +
                          found.container->name);
    // Nothing listens, or nothing the user may see, yet the runtime keeps the port: the next bind
    // on it would fail, and the runtime, not a process, is what to stop.
    const bool unnamed = state->status() == ScanStatus::available || state->hiddenListener();
    if (nothingListed && unnamed && state->lastScannedPort() == port)
        state->setStatus(ScanStatus::inUse, QStringLiteral("Port ") + portText +
                                                QStringLiteral(" is held by ") +
                                                found.container->description() + u'.');
}

void ContainerFlow::request() {
    if (m_state.m_portContainer && !m_state.m_stoppingContainer)
        m_state.setPendingContainerStop(true);
}

KillConfirmationAlert ContainerFlow::alert(const PublishedContainer &container, qint64 port) {
    return KillConfirmationAlert{
        QStringLiteral("Stop container?"),
        QStringLiteral("Quaymeter will run ") + container.stopCommand() +
            QStringLiteral(" to stop container ") + container.name +
            QStringLiteral(", which holds port ") + QString::number(port) + u'.',
        QStringLiteral("Stop Container"),
    };
}

void ContainerFlow::confirm() {
    if (!m_state.m_pendingContainerStop)
        return;
    m_state.setPendingContainerStop(false);
    if (!m_state.m_portContainer || m_state.m_stoppingContainer)
        return;
    m_state.setStoppingContainer(true);
    QTimer::singleShot(
        0, &m_state,
        [state = &m_state, runtime = m_runtime, container = *m_state.m_portContainer,
         port = qint64(m_state.lastScannedPort())] { perform(state, runtime, container, port); });
}

QCoro::Task<void> ContainerFlow::perform(InspectorState *state, ContainerRuntime runtime,
                                         PublishedContainer container, qint64 port) {
    const QPointer<InspectorState> self(state);
    state->setContainerStopCommandOffered({});
    state->appendActivity(QStringLiteral("Stop requested for container ") + container.name);
    bool refused = false;
    auto stopping = runtime.stop(container, &refused);
    const std::optional<QString> failure = co_await stopping;
    if (!self)
        co_return;
    state->setStoppingContainer(false);
    if (failure) {
        state->setStatus(ScanStatus::error, container.runtime +
                                                QStringLiteral(" could not stop container ") +
                                                container.name + QStringLiteral(": ") + *failure);
        state->appendActivity(QStringLiteral("Stop failed for container ") + container.name);
        if (refused)
            state->setContainerStopCommandOffered(container.stopCommand());
        co_return;
    }
    state->appendActivity(QStringLiteral("Stopped container ") + container.name);
    const auto stopped = std::chrono::steady_clock::now();
    QSet<pid_t> listedBefore;
    for (const PortProcess &listed : state->processes())
        listedBefore.insert(listed.pid);
    PortProcess holder = state->processes().value(0);
    holder.port = port;
    // As after a kill: the port again, then a watch for a restart policy that takes it back.
    auto recheck = state->scanPort(port);
    co_await recheck;
    if (!self)
        co_return;
    PortWatch &watch = state->m_watch;
    if (watch.watchesFreedPorts() && state->status() == ScanStatus::available &&
        state->lastScannedPort() == port)
        co_await watch.freedPort(holder, listedBefore, stopped + KillFlow::portWatchSpan);
}

QString ContainerFlow::killWarning(const PortProcess &process,
                                   const std::optional<PublishedContainer> &container) {
    const ProcessIdentity &identity = process.identity;
    if (identity.role == ProcessIdentity::Role::containerDaemon)
        return identity.name + QStringLiteral(" is the ") + identity.runtime +
               QStringLiteral(" daemon: every running container stops.");
    if (identity.role != ProcessIdentity::Role::containerForwarder)
        return {};
    const QString runtime = container ? container->runtime : identity.runtime;
    const QString target =
        container ? QStringLiteral("container ") + container->name : QStringLiteral("a container");
    const QString portText = QString::number(process.port);
    const QString holds =
        identity.name == QLatin1String("conmon")
            ? QStringLiteral("It holds port ") + portText + QStringLiteral(" for ")
            : QStringLiteral("It forwards port ") + portText + QStringLiteral(" to ");
    return holds + target + QStringLiteral(": the container keeps running and ") + runtime +
           QStringLiteral(" keeps the port.");
}
