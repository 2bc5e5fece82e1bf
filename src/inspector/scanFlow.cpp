#include "scanFlow.h"

#include "inspectorState.h"

#include <QPointer>

ScanFlow::ScanFlow(InspectorState &state, PortScannerService scanner,
                   AdministratorService administrator)
    : m_state(state), m_scanner(std::move(scanner)), m_administrator(std::move(administrator)) {}

ScanFlow::~ScanFlow() {
    // No one is left to read the scans, so their tools end and are reaped now.
    m_stop.request_stop();
}

QCoro::Task<Attempt<PortListing>> ScanFlow::find(PortScannerService scanner,
                                                 AdministratorService administrator, qint64 port,
                                                 ScanRoute route, std::stop_token stop) {
    if (route == ScanRoute::lsof) {
        auto listing = attempt(scanner.findListeners(port, stop));
        co_return co_await listing;
    }
    // The administrator's lsof sees every process: nothing is hidden from it.
    auto listing = attempt(administrator.findListeners(port, stop));
    Attempt<QList<PortProcess>> found = co_await listing;
    if (auto *error = std::get_if<ServiceError>(&found))
        co_return std::move(*error);
    co_return PortListing{std::get<QList<PortProcess>>(std::move(found)), std::nullopt};
}

QCoro::Task<void> ScanFlow::scan(qint64 port, ScanRoute route) {
    // The tool starts first: what the views redraw for the new status then runs beside it instead
    // of ahead of it. The window may close while it runs.
    const QPointer<InspectorState> state(&m_state);
    auto finding = find(m_scanner, m_administrator, port, route, m_stop.get_token());
    begin(port, route);
    Attempt<PortListing> found = co_await finding;
    if (state) {
        end(port, route, std::move(found));
    }
}

void ScanFlow::begin(qint64 port, ScanRoute route) {
    InspectorState &state = m_state;
    const QString portText = QString::number(port);
    // What the user sees next is this scan's outcome, not a watch's.
    state.m_watch.stop();
    state.m_containers.forget();
    if (route == ScanRoute::administrator) {
        // The cards, or the owner of what lsof could not show, stay until there is something
        // better: a dismissed or refused authentication loses nothing.
        state.setStatus(ScanStatus::scanning,
                        QStringLiteral("Scanning port ") + portText + " as administrator...");
        state.setLastScannedPort(port);
        state.appendActivity(QStringLiteral("Scanned port ") + portText + " as administrator");
        return;
    }
    state.setStatus(ScanStatus::scanning, QStringLiteral("Scanning port ") + portText + "...");
    state.setProcesses({});
    state.setSurvivedTermPID(0);
    state.setHiddenListener(std::nullopt);
    state.setAdministratorOffered(false);
    state.m_listedAsAdministrator = false;
    state.setLastScannedPort(port);
    state.appendActivity(QStringLiteral("Scanned port ") + portText);
}

void ScanFlow::end(qint64 port, ScanRoute route, Attempt<PortListing> found) {
    InspectorState &state = m_state;
    const QString portText = QString::number(port);
    const bool asAdministrator = route == ScanRoute::administrator;
    if (const auto *error = std::get_if<ServiceError>(&found)) {
        state.setStatus(ScanStatus::error, describe(*error));
        state.appendActivity((asAdministrator
                                  ? QStringLiteral("Scan as administrator failed on port ")
                                  : QStringLiteral("Scan failed on port ")) +
                             portText);
        return;
    }
    PortListing &listing = std::get<PortListing>(found);
    if (const std::optional<HiddenListener> hidden = listing.hidden) {
        state.setHiddenListener(hidden);
        state.setStatus(ScanStatus::inUse, hidden->description());
        state.appendActivity(QStringLiteral("Found a listener of user ") + hidden->owner());
        // Another user's listener is most often a rootful runtime's proxy.
        state.m_containers.follow({}, port);
        return;
    }
    if (asAdministrator) {
        state.setHiddenListener(std::nullopt);
        state.setAdministratorOffered(false);
        state.m_listedAsAdministrator = true;
    }
    show(std::move(listing.processes), port);
}

void ScanFlow::show(QList<PortProcess> found, qint64 port) {
    InspectorState &state = m_state;
    const QString portText = QString::number(port);
    state.setProcesses(found);
    if (found.isEmpty()) {
        state.setStatus(ScanStatus::available,
                        QStringLiteral("Port ") + portText + " is available.");
        state.appendActivity(QStringLiteral("Port ") + portText + " is available");
        state.m_containers.follow(found, port);
        return;
    }
    const PortProcess &first = found.constFirst();
    const QString listener =
        first.identity.wholeName(first.commandName) + " PID " + QString::number(first.pid);
    state.setStatus(ScanStatus::inUse,
                    QStringLiteral("Found ") + listener + " listening on port " + portText + u'.');
    state.appendActivity(QStringLiteral("Found ") + listener);
    state.m_containers.follow(found, port);
}
