#pragma once

#include "administratorService.h"
#include "portScannerService.h"
#include "serviceError.h"

#include <qcoro/qcorotask.h>
#include <stop_token>

class InspectorState;

enum class ScanRoute {
    lsof,          // the user's own lsof
    administrator, // lsof run by the administrator helper, through pkexec
};

// The one scan routine: behind the Scan button, a kill's re-check and the watches' rescans, by
// either route. Each scan stops the watches as it begins and writes its outcome into the state
// when its tool answers, whatever happened meanwhile; the window's end stops its tool.
class ScanFlow {
public:
    ScanFlow(InspectorState &state, PortScannerService scanner, AdministratorService administrator);
    ~ScanFlow();
    ScanFlow(const ScanFlow &) = delete;
    ScanFlow &operator=(const ScanFlow &) = delete;

    QCoro::Task<void> scan(qint64 port, ScanRoute route);
    bool administratorAvailable() const { return m_administrator.available(); }

private:
    // The listing by `route`; copies of the services, since the window may close meanwhile.
    static QCoro::Task<Attempt<PortListing>> find(PortScannerService scanner,
                                                  AdministratorService administrator, qint64 port,
                                                  ScanRoute route, std::stop_token stop);
    void begin(qint64 port, ScanRoute route);
    void end(qint64 port, ScanRoute route, Attempt<PortListing> found);
    // A listing as the window shows it: the cards, the status and the log line.
    void show(QList<PortProcess> found, qint64 port);

    InspectorState &m_state;
    PortScannerService m_scanner;
    AdministratorService m_administrator;
    std::stop_source m_stop;
};
