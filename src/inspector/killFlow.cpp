#include "killFlow.h"

#include "inspectorState.h"

#include <QPointer>
#include <QSet>
#include <QTimer>
#include <algorithm>

KillFlow::KillFlow(InspectorState &state, ProcessKillerService killer,
                   AdministratorService administrator, AwaitExit awaitExit)
    : m_state(state), m_killer(std::move(killer)), m_administrator(std::move(administrator)),
      m_awaitExit(std::move(awaitExit)) {}

bool KillFlow::isListed(const PortProcess &process) const {
    const QList<PortProcess> &listed = m_state.processes();
    return m_state.lastScannedPort() == process.port &&
           std::any_of(listed.cbegin(), listed.cend(), [&](const PortProcess &each) {
               return each.pid == process.pid && each.port == process.port &&
                      each.commandName == process.commandName && each.user == process.user;
           });
}

bool KillFlow::refuseUnlisted(const PortProcess &process) {
    if (isListed(process)) {
        return false;
    }
    // A card the window no longer shows, or a PID that may since name another process.
    m_state.appendActivity(QStringLiteral("PID ") + QString::number(process.pid) +
                           " is not listed on port " + QString::number(process.port) +
                           ", so no signal was sent.");
    return true;
}

bool KillFlow::refuseInit(const PortProcess &process) {
    if (process.pid != 1) {
        return false;
    }
    // TERM makes systemd start over and the kernel keeps KILL from any init process.
    const QString stop = process.identity.stopCommand();
    const QString sentence =
        QStringLiteral("No signal was sent to PID 1: the service manager would start over on "
                       "TERM and ignore KILL, so neither frees port ") +
        QString::number(process.port) + ". " +
        (stop.isEmpty() ? QStringLiteral("Stopping the socket unit that listens on it would.")
                        : stop + " would.");
    m_state.setStatus(m_state.status(), sentence);
    m_state.appendActivity(sentence);
    return true;
}

std::optional<QString> KillFlow::heldOpenBy(const QList<PortProcess> &listed, qint64 port) {
    const bool managersOnly =
        !listed.isEmpty() && std::all_of(listed.cbegin(), listed.cend(), [](const PortProcess &p) {
            return p.identity.role == ProcessIdentity::Role::serviceManager;
        });
    if (!managersOnly) {
        return std::nullopt;
    }
    const PortProcess &manager = listed.constFirst();
    const QString unit = manager.identity.socketUnit;
    return manager.commandName + (unit.isEmpty() ? " PID " + QString::number(manager.pid) : "") +
           " keeps port " + QString::number(port) + " open for " +
           (unit.isEmpty() ? QStringLiteral("the service it starts") : unit) + u'.';
}

void KillFlow::request(const PortProcess &process, bool force) {
    if (isInFlight(process.pid) || refuseInit(process) || refuseUnlisted(process)) {
        return;
    }
    m_state.setPendingKill(
        KillRequest{QUuid::createUuid(), process, force, m_state.m_listedAsAdministrator});
}

KillConfirmationAlert KillFlow::alert(const KillRequest &request) {
    const PortProcess &process = request.process;
    const QString command = request.force ? QStringLiteral("kill -9") : QStringLiteral("kill");
    return KillConfirmationAlert{
        request.force ? QStringLiteral("Force kill process?") : QStringLiteral("Kill process?"),
        QStringLiteral("Quaymeter will send ") + command + " to " +
            process.identity.wholeName(process.commandName) + " PID " +
            QString::number(process.pid) + " on port " + QString::number(process.port) + u'.',
        request.force ? QStringLiteral("Force Kill") : QStringLiteral("Kill Process"),
    };
}

void KillFlow::confirm(const KillRequest &request) {
    if (isInFlight(request.process.pid) || refuseInit(request.process) ||
        refuseUnlisted(request.process)) {
        return;
    }
    m_inFlight.append(request.process.pid);
    QTimer::singleShot(0, &m_state, [this, request] { perform(request); });
}

void KillFlow::done(pid_t pid) {
    m_inFlight.removeOne(pid);
    m_state.setActiveKillPID(0);
}

QCoro::Task<void> KillFlow::perform(KillRequest request) {
    InspectorState &state = m_state;
    const PortProcess &process = request.process;
    // A scan may have replaced the list since the confirmation.
    if (refuseInit(process) || refuseUnlisted(process)) {
        m_inFlight.removeOne(process.pid);
        co_return;
    }
    const QString pidText = QString::number(process.pid);
    QSet<pid_t> listedBefore;
    for (const PortProcess &listed : state.processes()) {
        listedBefore.insert(listed.pid);
    }
    const QString how = request.asAdministrator ? QStringLiteral(" as administrator") : QString();
    state.setActiveKillPID(process.pid);
    state.appendActivity((request.force ? QStringLiteral("Force kill") : QStringLiteral("Kill")) +
                         " requested for PID " + pidText + how);

    // The window, and this flow with it, may close while a tool runs.
    const QPointer<InspectorState> self(&state);
    const ProcessKillerService killer = m_killer;
    const AdministratorService administrator = m_administrator;
    const AwaitExit awaitExit = m_awaitExit;
    auto signalling = request.asAdministrator
                          ? administrator.kill(process.pid, request.force, process.port,
                                               process.identity.startTime)
                          : killer.kill(process.pid, request.force);
    auto kill = attempt(std::move(signalling));
    const std::optional<ServiceError> failure = co_await kill;
    if (!self) {
        co_return;
    }

    if (failure) {
        state.setStatus(ScanStatus::error, describe(*failure));
        state.appendActivity(QStringLiteral("Kill failed for PID ") + pidText + how);
        // Refused for want of rights: the card's menu offers to look again as administrator,
        // when polkit would run the helper beside this program.
        const auto *refused = std::get_if<ProcessKillerError>(&*failure);
        state.setAdministratorOffered(
            refused && refused->errorCase() == ProcessKillerError::Case::permissionDenied &&
            administrator.available());
        done(process.pid);
        co_return;
    }
    state.appendActivity(QStringLiteral("Killed PID ") + pidText + how);
    const auto signalled = std::chrono::steady_clock::now();
    state.setStatus(state.status(), QStringLiteral("Killed ") +
                                        process.identity.wholeName(process.commandName) + " PID " +
                                        pidText + ". Re-checking port " +
                                        QString::number(process.port) + "...");
    // A re-scan while the process is still closing down would show it as listening.
    bool exited = true;
    if (awaitExit) {
        auto exiting = awaitExit(process.pid, exitWait, {});
        exited = co_await exiting;
        if (!self) {
            co_return;
        }
    }
    // Made first, then awaited: g++ 12 frees a task made inside the co_await too early.
    auto recheck = state.m_scans.scan(
        process.port, request.asAdministrator ? ScanRoute::administrator : ScanRoute::lsof);
    co_await recheck;
    if (!self) {
        co_return;
    }
    const QList<PortProcess> &listed = state.processes();
    const bool survivedTerm =
        !request.force && std::any_of(listed.cbegin(), listed.cend(),
                                      [&](const PortProcess &p) { return p.pid == process.pid; });
    if (survivedTerm) {
        state.appendActivity(QStringLiteral("PID ") + pidText +
                             " is still running after TERM. Force Kill sends KILL.");
    } else if (!exited) {
        state.appendActivity(QStringLiteral("PID ") + pidText + " is still running");
    }
    if (const auto successor = PortWatch::replacementOf(listed, process, listedBefore)) {
        for (const QString &line : PortWatch::returnLines(process, *successor, true)) {
            state.appendActivity(line);
        }
    }
    if (const std::optional<QString> held = heldOpenBy(listed, process.port)) {
        state.setStatus(state.status(), *held);
        state.appendActivity(*held);
    }
    done(process.pid);
    PortWatch &watch = state.m_watch;
    if (survivedTerm) {
        // After the busy mark is gone, so the card's Force Kill is enabled when it takes focus.
        state.setSurvivedTermPID(process.pid);
        if (watch.watchesSurvivors()) {
            co_await watch.survivor(request);
        }
    } else if (watch.watchesFreedPorts() && state.status() == ScanStatus::available &&
               state.lastScannedPort() == process.port) {
        co_await watch.freedPort(process, listedBefore, signalled + portWatchSpan);
    }
}
