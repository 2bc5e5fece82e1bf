#pragma once

#include "activityEntry.h"
#include "activityLog.h"
#include "administratorService.h"
#include "containerFlow.h"
#include "killFlow.h"
#include "killRequest.h"
#include "listenerList.h"
#include "portProcess.h"
#include "portScannerService.h"
#include "portWatch.h"
#include "processExit.h"
#include "processKillerService.h"
#include "scanFlow.h"
#include "scanStatus.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>

// Everything one window knows, and the operations its views call. Lives on the GUI thread and is
// only touched there. The work is done by its flows (ScanFlow, KillFlow, PortWatch), which write
// their outcomes here and give the thread up only while a tool runs.
class InspectorState : public QObject {
    Q_OBJECT
    QML_ELEMENT

    // portTextChanged() is the reaction to an edit, so the change signal has another name.
    Q_PROPERTY(QString portText READ portText WRITE setPortText NOTIFY portTextEdited)
    Q_PROPERTY(bool hasAttemptedScan READ hasAttemptedScan NOTIFY hasAttemptedScanChanged)
    // The cards' model; each row's texts are cut for the view.
    Q_PROPERTY(ListenerList *processes READ listenerList CONSTANT)
    Q_PROPERTY(ScanStatusForQml::Status status READ statusForQml NOTIFY statusChanged)
    // Cut for the view, as every text from the tools is.
    Q_PROPERTY(QString statusMessage READ shownStatusMessage NOTIFY statusMessageChanged)
    // Newest first; activityEntriesChanged follows each new line.
    Q_PROPERTY(ActivityLog *activityLog READ activityLog CONSTANT)
    // 0 until the first scan begins.
    Q_PROPERTY(int lastScannedPort READ lastScannedPort NOTIFY lastScannedPortChanged)
    Q_PROPERTY(double leftColumnHeight READ leftColumnHeight NOTIFY leftColumnHeightChanged)
    Q_PROPERTY(
        bool isPortFocused READ isPortFocused WRITE setPortFocused NOTIFY isPortFocusedChanged)
    // The request and its alert are empty while hasPendingKill is false.
    Q_PROPERTY(bool hasPendingKill READ hasPendingKill NOTIFY pendingKillChanged)
    Q_PROPERTY(KillRequest pendingKill READ pendingRequest NOTIFY pendingKillChanged)
    Q_PROPERTY(
        KillConfirmationAlert pendingKillAlert READ pendingKillAlert NOTIFY pendingKillChanged)
    // PIDs are 0 for none.
    Q_PROPERTY(int activeKillPID READ activeKillPID NOTIFY activeKillPIDChanged)
    // A process still listed after TERM and the wait: its card leads to Force Kill.
    Q_PROPERTY(int survivedTermPID READ survivedTermPID NOTIFY survivedTermPIDChanged)
    Q_PROPERTY(QString validationMessage READ shownValidationMessage NOTIFY validationChanged)
    Q_PROPERTY(bool canScan READ canScan NOTIFY canScanChanged)
    // The owner of a listener lsof could not show, found by the last scan; empty for none.
    Q_PROPERTY(QString hiddenListenerOwner READ hiddenListenerOwner NOTIFY hiddenListenerChanged)
    // After a kill refused for want of rights: the cards offer to scan as administrator.
    Q_PROPERTY(
        bool administratorOffered READ administratorOffered NOTIFY administratorOfferedChanged)
    // Whether polkit would run the administrator helper beside this program: else the route is
    // neither offered nor taken.
    Q_PROPERTY(bool administratorAvailable READ administratorAvailable CONSTANT)
    // The container a runtime says publishes the port last scanned, asked when nothing or a
    // runtime's plumbing listens on it; containerNote says why a runtime could not be asked.
    Q_PROPERTY(bool hasPortContainer READ hasPortContainer NOTIFY portContainerChanged)
    Q_PROPERTY(
        PublishedContainer portContainer READ portContainerForQml NOTIFY portContainerChanged)
    Q_PROPERTY(QString containerNote READ containerNote NOTIFY portContainerChanged)
    Q_PROPERTY(bool isStoppingContainer READ isStoppingContainer NOTIFY stoppingContainerChanged)
    Q_PROPERTY(bool hasPendingContainerStop READ hasPendingContainerStop NOTIFY
                   pendingContainerStopChanged)
    Q_PROPERTY(KillConfirmationAlert pendingContainerStopAlert READ pendingContainerStopAlert NOTIFY
                   pendingContainerStopChanged)
    // After a stop the runtime refused for want of rights: the command to run as one who may.
    Q_PROPERTY(QString containerStopCommandOffered READ containerStopCommandOffered NOTIFY
                   containerStopCommandOfferedChanged)

public:
    explicit InspectorState(QObject *parent = nullptr);
    // Without `awaitExit` the re-scan follows a kill at once, and without `awaitListener` a port
    // freed by a kill is not watched: scripted tools signal nothing and bind nothing.
    InspectorState(PortScannerService scanner, ProcessKillerService killer,
                   QObject *parent = nullptr, AwaitExit awaitExit = {},
                   AwaitListener awaitListener = {},
                   AdministratorService administrator = AdministratorService(),
                   ContainerRuntime containers = ContainerRuntime::absent());
    ~InspectorState() override;

    const QString &portText() const { return m_portText; }
    void setPortText(const QString &text);
    bool hasAttemptedScan() const { return m_hasAttemptedScan; }
    const QList<PortProcess> &processes() const { return m_listenerList.processes(); }
    ListenerList *listenerList() { return &m_listenerList; }
    ScanStatus status() const { return m_status; }
    ScanStatusForQml::Status statusForQml() const { return ScanStatusForQml::Status(m_status); }
    const QString &statusMessage() const { return m_statusMessage; }
    const QList<ActivityEntry> &activityEntries() const { return m_activityLog.entries(); }
    ActivityLog *activityLog() { return &m_activityLog; }
    int lastScannedPort() const { return m_lastScannedPort; }
    double leftColumnHeight() const { return m_leftColumnHeight; }
    bool isPortFocused() const { return m_isPortFocused; }
    void setPortFocused(bool focused);
    const std::optional<KillRequest> &pendingKill() const { return m_pendingKill; }
    bool hasPendingKill() const { return m_pendingKill.has_value(); }
    KillRequest pendingRequest() const { return m_pendingKill.value_or(KillRequest{}); }
    KillConfirmationAlert pendingKillAlert() const;
    pid_t activeKillPID() const { return m_activeKillPID; }
    pid_t survivedTermPID() const { return m_survivedTermPID; }
    const std::optional<HiddenListener> &hiddenListener() const { return m_hiddenListener; }
    QString hiddenListenerOwner() const;
    bool administratorOffered() const { return m_administratorOffered; }
    bool administratorAvailable() const { return m_scans.administratorAvailable(); }
    const std::optional<PublishedContainer> &portContainer() const { return m_portContainer; }
    bool hasPortContainer() const { return m_portContainer.has_value(); }
    PublishedContainer portContainerForQml() const {
        return m_portContainer.value_or(PublishedContainer{});
    }
    const QString &containerNote() const { return m_containerNote; }
    bool isStoppingContainer() const { return m_stoppingContainer; }
    bool hasPendingContainerStop() const { return m_pendingContainerStop; }
    KillConfirmationAlert pendingContainerStopAlert() const;
    const QString &containerStopCommandOffered() const { return m_containerStopCommandOffered; }

    std::optional<QString> validationMessage() const;
    std::optional<qint64> validatedPort() const;
    bool canScan() const;

    Q_INVOKABLE void startScan();
    QCoro::Task<void> scanPort(qint64 port);
    void appendActivity(const QString &message);
    // The last scanned port again, with lsof run as administrator through pkexec; its cards'
    // kills then go the same way.
    Q_INVOKABLE void scanAsAdministrator();
    QCoro::Task<void> scanPortAsAdministrator(qint64 port);
    // The reaction to every edit of the port text (not to its first display).
    Q_INVOKABLE void portTextChanged();
    Q_INVOKABLE void recordLeftColumnHeight(double height);

    // requestKill and confirmKill refuse a PID whose kill is already under way, whatever route
    // the press took, so one PID is never signalled twice; every step up to the signal refuses a
    // process the window does not list now on lastScannedPort.
    Q_INVOKABLE void requestKill(const PortProcess &process, bool force);
    static KillConfirmationAlert killConfirmationAlert(const KillRequest &request);
    // Whether a kill of `pid` has been confirmed and not yet handled.
    bool isKillInFlight(pid_t pid) const { return m_kills.isInFlight(pid); }
    void confirmKill(const KillRequest &request);
    QCoro::Task<void> performKill(KillRequest request);
    // The alert's two ways out; either one leaves no request pending.
    Q_INVOKABLE void confirmPendingKill();
    Q_INVOKABLE void dismissPendingKill();
    // Stop Container: the same alert, then the runtime's own stop, the re-check and the watch.
    Q_INVOKABLE void requestStopContainer();
    Q_INVOKABLE void confirmPendingContainerStop();
    Q_INVOKABLE void dismissPendingContainerStop();

    static constexpr int activityLimit = 8;
    static constexpr std::chrono::milliseconds killExitWait = KillFlow::exitWait;
    static constexpr std::chrono::milliseconds portWatchSpan = KillFlow::portWatchSpan;
    // The most of any one text from the tools that QML is handed (status, records, log lines):
    // enough for a tooltip or a screen reader to present whole, where megabytes would hold up the
    // window. A longer text is cut there and ends with an ellipsis.
    static constexpr qsizetype viewTextLimit = 1000;

signals:
    void portTextEdited();
    void hasAttemptedScanChanged();
    void processesChanged();
    void statusChanged();
    void statusMessageChanged();
    void activityEntriesChanged();
    void lastScannedPortChanged();
    void leftColumnHeightChanged();
    void isPortFocusedChanged();
    void pendingKillChanged();
    void activeKillPIDChanged();
    void survivedTermPIDChanged();
    void validationChanged();
    void canScanChanged();
    void hiddenListenerChanged();
    void administratorOfferedChanged();
    void portContainerChanged();
    void stoppingContainerChanged();
    void pendingContainerStopChanged();
    void containerStopCommandOfferedChanged();

private:
    // The flows write the state they change; nothing else does.
    friend class ScanFlow;
    friend class KillFlow;
    friend class ContainerFlow;

    QString shownStatusMessage() const;
    QString shownValidationMessage() const { return validationMessage().value_or(QString()); }

    void setStatus(ScanStatus status, const QString &message);
    void setProcesses(QList<PortProcess> processes);
    void setLastScannedPort(qint64 port);
    void setActiveKillPID(pid_t pid);
    void setSurvivedTermPID(pid_t pid);
    void setPendingKill(std::optional<KillRequest> request);
    void setHiddenListener(std::optional<HiddenListener> listener);
    void setAdministratorOffered(bool offered);
    void setPortContainer(std::optional<PublishedContainer> container, const QString &note);
    void setStoppingContainer(bool stopping);
    void setPendingContainerStop(bool pending);
    void setContainerStopCommandOffered(const QString &command);

    QString m_portText;
    bool m_hasAttemptedScan = false;
    ScanStatus m_status = ScanStatus::idle;
    QString m_statusMessage;
    ListenerList m_listenerList{viewTextLimit, this};
    ActivityLog m_activityLog{activityLimit, viewTextLimit, this};
    int m_lastScannedPort = 0;
    double m_leftColumnHeight = 0;
    bool m_isPortFocused = false;
    std::optional<KillRequest> m_pendingKill;
    pid_t m_activeKillPID = 0;
    pid_t m_survivedTermPID = 0;
    std::optional<HiddenListener> m_hiddenListener;
    bool m_administratorOffered = false;
    // The cards came from lsof run as administrator: their kills go the same way.
    bool m_listedAsAdministrator = false;
    std::optional<PublishedContainer> m_portContainer;
    QString m_containerNote;
    bool m_stoppingContainer = false;
    bool m_pendingContainerStop = false;
    QString m_containerStopCommandOffered;

    // Stopped by every scan that begins and when the window closes.
    PortWatch m_watch;
    ScanFlow m_scans;
    KillFlow m_kills;
    ContainerFlow m_containers;
};
