#include "inspectorState.h"

#include "portValidation.h"
#include "viewText.h"

#include <QTimer>
#include <cmath>

InspectorState::InspectorState(QObject *parent)
    : InspectorState(PortScannerService(), ProcessKillerService(), parent, ProcessExit::waitForExit,
                     KernelTcpTable::awaitListener, AdministratorService(), ContainerRuntime()) {}

InspectorState::InspectorState(PortScannerService scanner, ProcessKillerService killer,
                               QObject *parent, AwaitExit awaitExit, AwaitListener awaitListener,
                               AdministratorService administrator, ContainerRuntime containers)
    : QObject(parent),
      m_statusMessage(QStringLiteral("Enter a port to inspect what is listening.")),
      m_watch(*this, awaitExit, std::move(awaitListener)),
      m_scans(*this, std::move(scanner), administrator),
      m_kills(*this, std::move(killer), std::move(administrator), std::move(awaitExit)),
      m_containers(*this, std::move(containers)) {
    appendActivity(QStringLiteral("Quaymeter initialized"));
}

InspectorState::~InspectorState() {
    // A kill that is under way is carried out all the same; the scans' tools end with the flow.
    m_watch.stop();
}

void InspectorState::setPortText(const QString &text) {
    if (text == m_portText) {
        return;
    }
    m_portText = text;
    emit portTextEdited();
    emit validationChanged();
}

void InspectorState::setPortFocused(bool focused) {
    if (focused == m_isPortFocused) {
        return;
    }
    m_isPortFocused = focused;
    emit isPortFocusedChanged();
}

std::optional<QString> InspectorState::validationMessage() const {
    return PortValidation::validationMessage(m_portText, m_hasAttemptedScan);
}

std::optional<qint64> InspectorState::validatedPort() const {
    return PortValidation::validatedPort(m_portText);
}

bool InspectorState::canScan() const {
    return m_status != ScanStatus::scanning && !m_activeKillPID && !m_stoppingContainer;
}

void InspectorState::startScan() {
    if (!m_hasAttemptedScan) {
        m_hasAttemptedScan = true;
        emit hasAttemptedScanChanged();
        emit validationChanged();
    }
    const auto port = validatedPort();
    if (!port) {
        setStatus(ScanStatus::error,
                  validationMessage().value_or(QStringLiteral("Enter a valid TCP port.")));
        setProcesses({});
        setHiddenListener(std::nullopt);
        return;
    }
    // The routine starts on a later turn of the event loop, and never after this state is gone.
    QMetaObject::invokeMethod(
        this, [this, port = *port] { scanPort(port); }, Qt::QueuedConnection);
}

QCoro::Task<void> InspectorState::scanPort(qint64 port) {
    return m_scans.scan(port, ScanRoute::lsof);
}

void InspectorState::scanAsAdministrator() {
    if (!m_lastScannedPort || !canScan() || !administratorAvailable()) {
        return;
    }
    QTimer::singleShot(0, this,
                       [this, port = m_lastScannedPort] { scanPortAsAdministrator(port); });
}

QCoro::Task<void> InspectorState::scanPortAsAdministrator(qint64 port) {
    return m_scans.scan(port, ScanRoute::administrator);
}

void InspectorState::appendActivity(const QString &message) {
    m_activityLog.prepend(
        ActivityEntry{QUuid::createUuid(), QDateTime::currentDateTime(), message});
    emit activityEntriesChanged();
}

void InspectorState::portTextChanged() {
    if (m_status == ScanStatus::error) {
        setStatus(ScanStatus::idle, QStringLiteral("Ready to scan."));
    }
}

void InspectorState::recordLeftColumnHeight(double height) {
    if (height > 0 && std::abs(height - m_leftColumnHeight) > 0.5) {
        m_leftColumnHeight = height;
        emit leftColumnHeightChanged();
    }
}

void InspectorState::requestKill(const PortProcess &process, bool force) {
    m_kills.request(process, force);
}

KillConfirmationAlert InspectorState::killConfirmationAlert(const KillRequest &request) {
    return KillFlow::alert(request);
}

void InspectorState::confirmKill(const KillRequest &request) {
    m_kills.confirm(request);
}

void InspectorState::confirmPendingKill() {
    if (!m_pendingKill) {
        return;
    }
    const KillRequest request = *m_pendingKill;
    setPendingKill(std::nullopt);
    confirmKill(request);
}

void InspectorState::dismissPendingKill() {
    setPendingKill(std::nullopt);
}

QCoro::Task<void> InspectorState::performKill(KillRequest request) {
    return m_kills.perform(std::move(request));
}

QString InspectorState::shownStatusMessage() const {
    return cutForView(m_statusMessage, viewTextLimit);
}

KillConfirmationAlert InspectorState::pendingKillAlert() const {
    if (!m_pendingKill) {
        return {};
    }
    KillConfirmationAlert alert = killConfirmationAlert(*m_pendingKill);
    alert.message = cutForView(alert.message, viewTextLimit);
    alert.warning = cutForView(ContainerFlow::killWarning(m_pendingKill->process, m_portContainer),
                               viewTextLimit);
    return alert;
}

KillConfirmationAlert InspectorState::pendingContainerStopAlert() const {
    if (!m_pendingContainerStop || !m_portContainer) {
        return {};
    }
    KillConfirmationAlert alert = ContainerFlow::alert(*m_portContainer, m_lastScannedPort);
    alert.message = cutForView(alert.message, viewTextLimit);
    return alert;
}

void InspectorState::requestStopContainer() {
    m_containers.request();
}

void InspectorState::confirmPendingContainerStop() {
    m_containers.confirm();
}

void InspectorState::dismissPendingContainerStop() {
    setPendingContainerStop(false);
}

void InspectorState::setPortContainer(std::optional<PublishedContainer> container,
                                      const QString &note) {
    if (container == m_portContainer && note == m_containerNote) {
        return;
    }
    m_portContainer = std::move(container);
    m_containerNote = note;
    emit portContainerChanged();
}

void InspectorState::setStoppingContainer(bool stopping) {
    if (stopping == m_stoppingContainer) {
        return;
    }
    m_stoppingContainer = stopping;
    emit stoppingContainerChanged();
    emit canScanChanged();
}

void InspectorState::setPendingContainerStop(bool pending) {
    if (pending == m_pendingContainerStop) {
        return;
    }
    m_pendingContainerStop = pending;
    emit pendingContainerStopChanged();
}

void InspectorState::setContainerStopCommandOffered(const QString &command) {
    if (command == m_containerStopCommandOffered) {
        return;
    }
    m_containerStopCommandOffered = command;
    emit containerStopCommandOfferedChanged();
}

QString InspectorState::hiddenListenerOwner() const {
    return m_hiddenListener ? cutForView(m_hiddenListener->owner(), viewTextLimit) : QString();
}

void InspectorState::setStatus(ScanStatus status, const QString &message) {
    if (status != m_status) {
        m_status = status;
        emit statusChanged();
        emit canScanChanged();
    }
    if (message != m_statusMessage) {
        m_statusMessage = message;
        emit statusMessageChanged();
    }
}

void InspectorState::setProcesses(QList<PortProcess> processes) {
    if (processes.isEmpty() && m_listenerList.processes().isEmpty()) {
        return;
    }
    m_listenerList.replace(processes);
    emit processesChanged();
}

void InspectorState::setAdministratorOffered(bool offered) {
    if (offered == m_administratorOffered) {
        return;
    }
    m_administratorOffered = offered;
    emit administratorOfferedChanged();
}

void InspectorState::setHiddenListener(std::optional<HiddenListener> listener) {
    if (!listener && !m_hiddenListener) {
        return;
    }
    m_hiddenListener = std::move(listener);
    emit hiddenListenerChanged();
}

void InspectorState::setLastScannedPort(qint64 port) {
    if (m_lastScannedPort == port) {
        return;
    }
    m_lastScannedPort = int(port);
    emit lastScannedPortChanged();
}

void InspectorState::setActiveKillPID(pid_t pid) {
    if (pid == m_activeKillPID) {
        return;
    }
    m_activeKillPID = pid;
    emit activeKillPIDChanged();
    emit canScanChanged();
}

void InspectorState::setSurvivedTermPID(pid_t pid) {
    if (pid == m_survivedTermPID) {
        return;
    }
    m_survivedTermPID = pid;
    emit survivedTermPIDChanged();
}

void InspectorState::setPendingKill(std::optional<KillRequest> request) {
    if (!request && !m_pendingKill) {
        return;
    }
    m_pendingKill = std::move(request);
    emit pendingKillChanged();
}
