#include "inspectorState.h"

#include "portValidation.h"
#include "viewText.h"

#include <QPointer>
#include <QSet>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <exception>
#include <type_traits>

namespace {

QString describe(const std::exception &error) {
    if (const auto *localized = dynamic_cast<const LocalizedError *>(&error)) {
        return localized->errorDescription();
    }
    return QString::fromUtf8(error.what());
}

// Awaits a service call, storing its value in `result`; a failure comes back as the sentence the
// user is shown, and nothing comes back when the call succeeded.
template <typename T>
QCoro::Task<std::optional<QString>> failureOf(QCoro::Task<T> call, T *result = nullptr) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await call;
        } else {
            *result = co_await call;
        }
    } catch (const std::exception &error) {
        co_return describe(error);
    }
    co_return std::nullopt;
}

// lsof's list; or, when only another user's socket listens, an empty one and that socket's owner
// in `hidden`.
QCoro::Task<QList<PortProcess>> listedOrHidden(QCoro::Task<QList<PortProcess>> scan,
                                               std::optional<PortScannerError> *hidden) {
    try {
        co_return co_await scan;
    } catch (const PortScannerError &error) {
        if (error.errorCase() != PortScannerError::Case::hiddenListener) {
            throw;
        }
        *hidden = error;
    }
    co_return {};
}

QString forView(const QString &text) {
    return cutForView(text, InspectorState::viewTextLimit);
}

PortProcess forView(PortProcess process) {
    for (QString *text :
         {&process.commandName, &process.user, &process.commandDetails, &process.rawOutput}) {
        *text = forView(*text);
    }
    return process;
}

template <typename T> QVariantList toVariantList(const QList<T> &items) {
    QVariantList list;
    list.reserve(items.size());
    for (const T &item : items) {
        list.append(QVariant::fromValue(forView(item)));
    }
    return list;
}

} // namespace

InspectorState::InspectorState(QObject *parent)
    : InspectorState(PortScannerService(), ProcessKillerService(), parent, ProcessExit::waitForExit,
                     KernelTcpTable::awaitListener) {}

InspectorState::InspectorState(PortScannerService scanner, ProcessKillerService killer,
                               QObject *parent, AwaitExit awaitExit, AwaitListener awaitListener,
                               AdministratorService administrator)
    : QObject(parent), m_scanner(std::move(scanner)), m_killer(std::move(killer)),
      m_administrator(std::move(administrator)), m_awaitExit(std::move(awaitExit)),
      m_awaitListener(std::move(awaitListener)),
      m_statusMessage(QStringLiteral("Enter a port to inspect what is listening.")) {
    appendActivity(QStringLiteral("Quaymeter initialized"));
}

InspectorState::~InspectorState() {
    // No one is left to read the scans, so their lsof runs end and are reaped now; a kill that is
    // under way is carried out all the same.
    m_stopScans.request_stop();
    m_stopWatch.request_stop();
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
    return m_status != ScanStatus::scanning && !m_activeKillPID;
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
    // What the user sees next is this scan's outcome, not a watch's of an earlier kill.
    m_stopWatch.request_stop();
    // lsof starts first: what the views redraw for the new status then runs beside it instead of
    // ahead of it. The window may close while it runs: the scanner stays in this frame.
    const QPointer<InspectorState> self(this);
    const PortScannerService scanner = m_scanner;
    QList<PortProcess> found;
    std::optional<PortScannerError> hidden;
    auto scan = failureOf(
        listedOrHidden(scanner.findListeners(port, m_stopScans.get_token()), &hidden), &found);

    const QString portText = QString::number(port);
    setStatus(ScanStatus::scanning, QStringLiteral("Scanning port ") + portText + "...");
    setProcesses({});
    setSurvivedTermPID(std::nullopt);
    setHiddenListener(std::nullopt);
    setAdministratorOffered(false);
    m_listedAsAdministrator = false;
    setLastScannedPort(port);
    appendActivity(QStringLiteral("Scanned port ") + portText);
    const std::optional<QString> failure = co_await scan;
    if (!self) {
        co_return;
    }

    if (failure) {
        setStatus(ScanStatus::error, *failure);
        appendActivity(QStringLiteral("Scan failed on port ") + portText);
        co_return;
    }
    if (hidden) {
        setHiddenListener(hidden);
        setStatus(ScanStatus::inUse, hidden->errorDescription());
        appendActivity(QStringLiteral("Found a listener of user ") + hidden->owner());
        co_return;
    }
    showListed(std::move(found), port);
}

void InspectorState::showListed(QList<PortProcess> found, qint64 port) {
    const QString portText = QString::number(port);
    setProcesses(found);
    if (found.isEmpty()) {
        setStatus(ScanStatus::available, QStringLiteral("Port ") + portText + " is available.");
        appendActivity(QStringLiteral("Port ") + portText + " is available");
        return;
    }
    const PortProcess &first = found.constFirst();
    const QString listener = first.commandName + " PID " + QString::number(first.pid);
    setStatus(ScanStatus::inUse,
              QStringLiteral("Found ") + listener + " listening on port " + portText + u'.');
    appendActivity(QStringLiteral("Found ") + listener);
}

void InspectorState::scanAsAdministrator() {
    if (!m_lastScannedPort || !canScan() || !m_administrator.available()) {
        return;
    }
    QTimer::singleShot(0, this,
                       [this, port = *m_lastScannedPort] { scanPortAsAdministrator(port); });
}

QCoro::Task<void> InspectorState::scanPortAsAdministrator(qint64 port) {
    const QString portText = QString::number(port);
    // The cards, or the owner of what lsof could not show, stay until there is something better:
    // a dismissed or refused authentication loses nothing.
    setStatus(ScanStatus::scanning,
              QStringLiteral("Scanning port ") + portText + " as administrator...");
    setLastScannedPort(port);
    appendActivity(QStringLiteral("Scanned port ") + portText + " as administrator");

    const QPointer<InspectorState> self(this);
    const AdministratorService administrator = m_administrator;
    QList<PortProcess> found;
    auto scan = failureOf(administrator.findListeners(port), &found);
    const std::optional<QString> failure = co_await scan;
    if (!self) {
        co_return;
    }
    if (failure) {
        setStatus(ScanStatus::error, *failure);
        appendActivity(QStringLiteral("Scan as administrator failed on port ") + portText);
        co_return;
    }
    setHiddenListener(std::nullopt);
    setAdministratorOffered(false);
    m_listedAsAdministrator = true;
    showListed(std::move(found), port);
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
    if (m_killsInFlight.contains(process.pid)) {
        return;
    }
    setPendingKill(KillRequest{QUuid::createUuid(), process, force, m_listedAsAdministrator});
}

KillConfirmationAlert InspectorState::killConfirmationAlert(const KillRequest &request) {
    const PortProcess &process = request.process;
    const QString command = request.force ? QStringLiteral("kill -9") : QStringLiteral("kill");
    return KillConfirmationAlert{
        request.force ? QStringLiteral("Force kill process?") : QStringLiteral("Kill process?"),
        QStringLiteral("Quaymeter will send ") + command + " to " + process.commandName + " PID " +
            QString::number(process.pid) + " on port " + QString::number(process.port) + u'.',
        request.force ? QStringLiteral("Force Kill") : QStringLiteral("Kill Process"),
    };
}

void InspectorState::confirmKill(const KillRequest &request) {
    if (m_killsInFlight.contains(request.process.pid)) {
        return;
    }
    m_killsInFlight.append(request.process.pid);
    QTimer::singleShot(0, this, [this, request] { performKill(request); });
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
    const PortProcess &process = request.process;
    const QString pidText = QString::number(process.pid);
    QSet<pid_t> listedBefore;
    for (const PortProcess &listed : std::as_const(m_processes)) {
        listedBefore.insert(listed.pid);
    }
    const QString how = request.asAdministrator ? QStringLiteral(" as administrator") : QString();
    setActiveKillPID(process.pid);
    appendActivity((request.force ? QStringLiteral("Force kill") : QStringLiteral("Kill")) +
                   " requested for PID " + pidText + how);

    const QPointer<InspectorState> self(this);
    const ProcessKillerService killer = m_killer;
    const AdministratorService administrator = m_administrator;
    auto signalling = request.asAdministrator
                          ? administrator.kill(process.pid, request.force, process.port,
                                               process.identity.startTime)
                          : killer.kill(process.pid, request.force);
    auto kill = failureOf(std::move(signalling));
    const std::optional<QString> failure = co_await kill;
    if (!self) {
        co_return;
    }

    if (failure) {
        setStatus(ScanStatus::error, *failure);
        appendActivity(QStringLiteral("Kill failed for PID ") + pidText + how);
        // Refused for want of rights: the card's menu offers to look again as administrator,
        // when polkit would run the helper beside this program.
        setAdministratorOffered(
            *failure == ProcessKillerError::permissionDenied(process.pid).errorDescription() &&
            m_administrator.available());
        m_killsInFlight.removeOne(process.pid);
        setActiveKillPID(std::nullopt);
        co_return;
    }
    appendActivity(QStringLiteral("Killed PID ") + pidText + how);
    const auto signalled = std::chrono::steady_clock::now();
    setStatus(m_status, QStringLiteral("Killed ") + process.commandName + " PID " + pidText +
                            ". Re-checking port " + QString::number(process.port) + "...");
    // A re-scan while the process is still closing down would show it as listening.
    bool exited = true;
    if (const AwaitExit awaitExit = m_awaitExit) {
        auto exiting = awaitExit(process.pid, killExitWait);
        exited = co_await exiting;
        if (!self) {
            co_return;
        }
    }
    // Made first, then awaited: g++ 12 frees a task made inside the co_await too early.
    auto recheck =
        request.asAdministrator ? scanPortAsAdministrator(process.port) : scanPort(process.port);
    co_await recheck;
    if (!self) {
        co_return;
    }
    const bool survivedTerm =
        !request.force && std::any_of(m_processes.cbegin(), m_processes.cend(),
                                      [&](const PortProcess &p) { return p.pid == process.pid; });
    if (survivedTerm) {
        appendActivity(QStringLiteral("PID ") + pidText +
                       " is still running after TERM. Force Kill sends KILL.");
    } else if (!exited) {
        appendActivity(QStringLiteral("PID ") + pidText + " is still running");
    }
    if (const auto successor = replacementOf(process, listedBefore)) {
        reportReturn(process, *successor, true);
    }
    m_killsInFlight.removeOne(process.pid);
    setActiveKillPID(std::nullopt);
    // After the busy mark is gone, so the card's Force Kill is enabled when it takes focus.
    if (survivedTerm) {
        setSurvivedTermPID(process.pid);
    }
    if (m_awaitListener && m_status == ScanStatus::available && m_lastScannedPort == process.port) {
        co_await watchFreedPort(process, listedBefore, signalled + portWatchSpan);
    }
}

// A supervisor may start the killed server again a moment after the re-scan found the port free.
QCoro::Task<void> InspectorState::watchFreedPort(PortProcess killed, QSet<pid_t> listedBefore,
                                                 std::chrono::steady_clock::time_point deadline) {
    const QPointer<InspectorState> self(this);
    const AwaitListener awaitListener = m_awaitListener;
    m_stopWatch = std::stop_source();
    std::stop_token stop = m_stopWatch.get_token();
    for (;;) {
        auto watching = awaitListener(killed.port, deadline, stop);
        const bool taken = co_await watching;
        if (!self || stop.stop_requested() || !taken) {
            co_return;
        }
        auto rescan = scanPort(killed.port);
        // The scan stopped the watch as it began; from here on only a later scan stops it.
        m_stopWatch = std::stop_source();
        stop = m_stopWatch.get_token();
        co_await rescan;
        if (!self || stop.stop_requested()) {
            co_return;
        }
        if (!m_processes.isEmpty()) {
            const auto successor = replacementOf(killed, listedBefore);
            reportReturn(killed, successor.value_or(m_processes.constFirst()),
                         successor.has_value());
            co_return;
        }
        // Gone again before lsof looked: keep watching while there is time left.
        if (m_status != ScanStatus::available) {
            co_return;
        }
    }
}

void InspectorState::reportReturn(const PortProcess &killed, const PortProcess &back,
                                  bool sameService) {
    const QString backPid = QString::number(back.pid);
    appendActivity(sameService ? QStringLiteral("PID ") + QString::number(killed.pid) +
                                     " was replaced by PID " + backPid
                               : QStringLiteral("Port ") + QString::number(killed.port) +
                                     " was taken again by PID " + backPid + u'.');
    // Killing a PID of a unit or a container only makes its supervisor start another.
    if (const QString stop = back.identity.stopCommand(); !stop.isEmpty()) {
        appendActivity(QStringLiteral("Run ") + stop + " to stop it for good.");
    }
}

std::optional<PortProcess> InspectorState::replacementOf(const PortProcess &killed,
                                                         const QSet<pid_t> &listedBefore) const {
    std::optional<PortProcess> successor;
    for (const PortProcess &listed : m_processes) {
        if (listed.pid == killed.pid) {
            return std::nullopt;
        }
        if (!successor && !listedBefore.contains(listed.pid) &&
            ProcessIdentity::sameService(killed.identity, listed.identity)) {
            successor = listed;
        }
    }
    return successor;
}

QString InspectorState::statusMessageForQml() const {
    return forView(m_statusMessage);
}

QVariantList InspectorState::processesForQml() const {
    return toVariantList(m_processes);
}

QVariant InspectorState::lastScannedPortForQml() const {
    return m_lastScannedPort ? QVariant(*m_lastScannedPort) : QVariant();
}

QVariant InspectorState::pendingKillForQml() const {
    return m_pendingKill ? QVariant::fromValue(*m_pendingKill) : QVariant();
}

QVariant InspectorState::pendingKillAlertForQml() const {
    if (!m_pendingKill) {
        return {};
    }
    KillConfirmationAlert alert = killConfirmationAlert(*m_pendingKill);
    alert.message = forView(alert.message);
    return QVariant::fromValue(alert);
}

QVariant InspectorState::activeKillPIDForQml() const {
    return m_activeKillPID ? QVariant(int(*m_activeKillPID)) : QVariant();
}

QVariant InspectorState::survivedTermPIDForQml() const {
    return m_survivedTermPID ? QVariant(int(*m_survivedTermPID)) : QVariant();
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
    if (processes.isEmpty() && m_processes.isEmpty()) {
        return;
    }
    m_processes.swap(processes);
    emit processesChanged();
    // Freeing tens of thousands of records (a tool that printed megabytes) takes milliseconds:
    // the old list goes on a pool thread, never holding up the GUI thread.
    QThreadPool::globalInstance()->start([old = std::move(processes)] {});
}

QVariant InspectorState::hiddenListenerForQml() const {
    if (!m_hiddenListener) {
        return {};
    }
    return QVariantMap{{QStringLiteral("user"), forView(m_hiddenListener->owner())},
                       {QStringLiteral("addresses"), forView(m_hiddenListener->addresses())}};
}

void InspectorState::setAdministratorOffered(bool offered) {
    if (offered == m_administratorOffered) {
        return;
    }
    m_administratorOffered = offered;
    emit administratorOfferedChanged();
}

void InspectorState::setHiddenListener(std::optional<PortScannerError> listener) {
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
    m_lastScannedPort = port;
    emit lastScannedPortChanged();
}

void InspectorState::setActiveKillPID(std::optional<pid_t> pid) {
    if (pid == m_activeKillPID) {
        return;
    }
    m_activeKillPID = pid;
    emit activeKillPIDChanged();
    emit canScanChanged();
}

void InspectorState::setSurvivedTermPID(std::optional<pid_t> pid) {
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
