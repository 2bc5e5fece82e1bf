#include "portWatch.h"

#include "inspectorState.h"

#include <QPointer>

PortWatch::PortWatch(InspectorState &state, AwaitExit awaitExit, AwaitListener awaitListener)
    : m_state(state), m_awaitExit(std::move(awaitExit)), m_awaitListener(std::move(awaitListener)) {
}

PortWatch::~PortWatch() {
    m_stop.request_stop();
}

void PortWatch::stop() {
    m_stop.request_stop();
}

std::stop_token PortWatch::restart() {
    m_stop = std::stop_source();
    return m_stop.get_token();
}

// A server may take many seconds to shut down after TERM (a daemon stopping its children): the
// card must not go on inviting Force Kill once it has gone.
QCoro::Task<void> PortWatch::survivor(KillRequest request) {
    // The window, and this watch with it, may close while the wait runs.
    const QPointer<InspectorState> state(&m_state);
    const AwaitExit awaitExit = m_awaitExit;
    const pid_t pid = request.process.pid;
    const std::stop_token stop = restart();
    auto exiting = awaitExit(pid, ProcessExit::untilStopped, stop);
    const bool exited = co_await exiting;
    // A Force Kill of it under way re-checks the port itself.
    if (!state || stop.stop_requested() || !exited || state->isKillInFlight(pid)) {
        co_return;
    }
    state->appendActivity(QStringLiteral("PID ") + QString::number(pid) + " exited after TERM");
    auto rescan = request.asAdministrator ? state->scanPortAsAdministrator(request.process.port)
                                          : state->scanPort(request.process.port);
    co_await rescan;
}

// A supervisor may start the killed server again a moment after the re-scan found the port free.
QCoro::Task<void> PortWatch::freedPort(PortProcess killed, QSet<pid_t> listedBefore,
                                       std::chrono::steady_clock::time_point deadline) {
    const QPointer<InspectorState> state(&m_state);
    const AwaitListener awaitListener = m_awaitListener;
    std::stop_token stop = restart();
    for (;;) {
        auto watching = awaitListener(killed.port, deadline, stop);
        const bool taken = co_await watching;
        if (!state || stop.stop_requested() || !taken) {
            co_return;
        }
        auto rescan = state->scanPort(killed.port);
        // The scan stopped the watch as it began; from here on only a later scan stops it.
        stop = restart();
        co_await rescan;
        if (!state || stop.stop_requested()) {
            co_return;
        }
        const QList<PortProcess> &listed = state->processes();
        if (!listed.isEmpty()) {
            const auto successor = replacementOf(listed, killed, listedBefore);
            for (const QString &line : returnLines(killed, successor.value_or(listed.constFirst()),
                                                   successor.has_value()))
                state->appendActivity(line);
            co_return;
        }
        // Gone again before lsof looked: keep watching while there is time left.
        if (state->status() != ScanStatus::available) {
            co_return;
        }
    }
}

QStringList PortWatch::returnLines(const PortProcess &killed, const PortProcess &back,
                                   bool sameService) {
    const QString backPid = QString::number(back.pid);
    QStringList lines{sameService ? QStringLiteral("PID ") + QString::number(killed.pid) +
                                        " was replaced by PID " + backPid
                                  : QStringLiteral("Port ") + QString::number(killed.port) +
                                        " was taken again by PID " + backPid + u'.'};
    // Killing a PID of a unit or a container only makes its supervisor start another.
    if (const QString stop = back.identity.stopCommand(); !stop.isEmpty()) {
        lines << QStringLiteral("Run ") + stop + " to stop it for good.";
    }
    return lines;
}

std::optional<PortProcess> PortWatch::replacementOf(const QList<PortProcess> &listed,
                                                    const PortProcess &killed,
                                                    const QSet<pid_t> &listedBefore) {
    std::optional<PortProcess> successor;
    for (const PortProcess &each : listed) {
        if (each.pid == killed.pid) {
            return std::nullopt;
        }
        if (!successor && !listedBefore.contains(each.pid) &&
            ProcessIdentity::sameService(killed.identity, each.identity)) {
            successor = each;
        }
    }
    return successor;
}
