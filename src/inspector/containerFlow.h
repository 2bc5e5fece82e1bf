#pragma once

#include "containerRuntime.h"
#include "killRequest.h"
#include "portProcess.h"

#include <QList>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>

class InspectorState;

// What a container runtime adds to a scan: which container publishes the port when nothing
// listens on it or a runtime's plumbing does, and stopping that container after confirmation.
// The answer comes after the scan's own, and is dropped when another scan begins.
class ContainerFlow {
public:
    ContainerFlow(InspectorState &state, ContainerRuntime runtime);
    ~ContainerFlow();
    ContainerFlow(const ContainerFlow &) = delete;
    ContainerFlow &operator=(const ContainerFlow &) = delete;

    // A scan begins: the last one's container is no longer known.
    void forget();
    // A scan's outcome is shown; `shown` is what it listed (nothing, for another user's
    // listener).
    void follow(const QList<PortProcess> &shown, qint64 port);

    void request();
    void confirm();

    static KillConfirmationAlert alert(const PublishedContainer &container, qint64 port);
    // The sentence a kill's confirmation adds for a runtime's plumbing; empty for any other.
    static QString killWarning(const PortProcess &process,
                               const std::optional<PublishedContainer> &container);

private:
    static QCoro::Task<void> lookUp(InspectorState *state, ContainerRuntime runtime, qint64 port,
                                    bool nothingListed, std::stop_token stop);
    static QCoro::Task<void> perform(InspectorState *state, ContainerRuntime runtime,
                                     PublishedContainer container, qint64 port);

    InspectorState &m_state;
    ContainerRuntime m_runtime;
    std::stop_source m_stop;
};
