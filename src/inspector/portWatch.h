#pragma once

#include "kernelTcpTable.h"
#include "killRequest.h"
#include "portProcess.h"
#include "processExit.h"

#include <QList>
#include <QSet>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>

class InspectorState;

// What a window keeps an eye on once a kill's re-check is shown: a port the kill freed, which a
// supervisor may take again, and a process that outlived TERM, which may still exit. Each watch
// waits off the GUI thread, resumes on it, and ends when a scan begins or the window closes.
class PortWatch {
public:
    // Without `awaitExit` a survivor is not watched, and without `awaitListener` a freed port is
    // not: scripted tools signal nothing and bind nothing.
    PortWatch(InspectorState &state, AwaitExit awaitExit, AwaitListener awaitListener);
    ~PortWatch();
    PortWatch(const PortWatch &) = delete;
    PortWatch &operator=(const PortWatch &) = delete;

    // A scan begins: what the user sees next is its outcome, not a watch's.
    void stop();
    bool watchesSurvivors() const { return bool(m_awaitExit); }
    bool watchesFreedPorts() const { return bool(m_awaitListener); }

    // Until `deadline`, a listener that takes the port is scanned and named.
    QCoro::Task<void> freedPort(PortProcess killed, QSet<pid_t> listedBefore,
                                std::chrono::steady_clock::time_point deadline);
    // When the process exits, its port is scanned again by the route that listed it.
    QCoro::Task<void> survivor(KillRequest request);

    // A new process of the killed process's service listed in its place, if the killed one is not.
    static std::optional<PortProcess> replacementOf(const QList<PortProcess> &listed,
                                                    const PortProcess &killed,
                                                    const QSet<pid_t> &listedBefore);
    // The log lines for a listener back on the port: who, and what stops it for good.
    static QStringList returnLines(const PortProcess &killed, const PortProcess &back,
                                   bool sameService);

private:
    // A fresh stop source for a watch about to wait; `stop()` ends it.
    std::stop_token restart();

    InspectorState &m_state;
    AwaitExit m_awaitExit;
    AwaitListener m_awaitListener;
    std::stop_source m_stop;
};
