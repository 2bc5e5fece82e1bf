#pragma once

#include "administratorService.h"
#include "killRequest.h"
#include "processExit.h"
#include "processKillerService.h"

#include <QList>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

class InspectorState;

// From a card's Kill or Force Kill to the port's re-check: the confirmation, the signal by the
// route that listed the process, the wait for it to go, the re-scan, and what follows it (a
// survivor of TERM, a listener back on the port). Only what the window lists is ever signalled,
// and one PID never twice at once.
class KillFlow {
public:
    KillFlow(InspectorState &state, ProcessKillerService killer, AdministratorService administrator,
             AwaitExit awaitExit);
    KillFlow(const KillFlow &) = delete;
    KillFlow &operator=(const KillFlow &) = delete;

    void request(const PortProcess &process, bool force);
    void confirm(const KillRequest &request);
    QCoro::Task<void> perform(KillRequest request);
    bool isInFlight(pid_t pid) const { return m_inFlight.contains(pid); }

    static KillConfirmationAlert alert(const KillRequest &request);

    // How long the re-scan after a kill waits for the process to go: a server closing its
    // connections gracefully takes about a second.
    static constexpr std::chrono::milliseconds exitWait{2000};
    // How long after its signal a port that the re-scan found free is watched: supervisors bring
    // a server back within a second or two.
    static constexpr std::chrono::milliseconds portWatchSpan{3000};

private:
    // Whether the window lists `process` now, on the port it last scanned.
    bool isListed(const PortProcess &process) const;
    // Logs why nothing is sent to a process the window does not list; true when it refused.
    bool refuseUnlisted(const PortProcess &process);
    // Writes why nothing is sent to the init process, and what would free its port; true when
    // it refused.
    bool refuseInit(const PortProcess &process);
    // After a re-check that lists service managers alone: the sentence that says which one keeps
    // the port open, and for which socket unit.
    static std::optional<QString> heldOpenBy(const QList<PortProcess> &listed, qint64 port);
    // The kill has been handled: its PID may be asked for again.
    void done(pid_t pid);

    InspectorState &m_state;
    ProcessKillerService m_killer;
    AdministratorService m_administrator;
    AwaitExit m_awaitExit;
    // Every PID confirmed and not yet handled; activeKillPID names only the latest.
    QList<pid_t> m_inFlight;
};
