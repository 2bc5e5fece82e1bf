#pragma once

#include "activityEntry.h"
#include "killRequest.h"
#include "portProcess.h"
#include "portScannerService.h"
#include "processKillerService.h"
#include "scanStatus.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>

// Everything one window knows. Lives on the GUI thread and is only touched there; the scan and
// kill flows give the thread up only while a tool runs.
class InspectorState : public QObject {
    Q_OBJECT
    QML_ELEMENT

    // portTextChanged() is the reaction to an edit, so the change signal has another name.
    Q_PROPERTY(QString portText READ portText WRITE setPortText NOTIFY portTextEdited)
    Q_PROPERTY(bool hasAttemptedScan READ hasAttemptedScan NOTIFY hasAttemptedScanChanged)
    Q_PROPERTY(QVariantList processes READ processesForQml NOTIFY processesChanged)
    Q_PROPERTY(QString status READ statusName NOTIFY statusChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(
        QVariantList activityEntries READ activityEntriesForQml NOTIFY activityEntriesChanged)
    Q_PROPERTY(QVariant lastScannedPort READ lastScannedPortForQml NOTIFY lastScannedPortChanged)
    Q_PROPERTY(double leftColumnHeight READ leftColumnHeight NOTIFY leftColumnHeightChanged)
    Q_PROPERTY(
        bool isPortFocused READ isPortFocused WRITE setPortFocused NOTIFY isPortFocusedChanged)
    Q_PROPERTY(QVariant pendingKill READ pendingKillForQml NOTIFY pendingKillChanged)
    Q_PROPERTY(QVariant pendingKillAlert READ pendingKillAlertForQml NOTIFY pendingKillChanged)
    Q_PROPERTY(QVariant activeKillPID READ activeKillPIDForQml NOTIFY activeKillPIDChanged)
    Q_PROPERTY(QString validationMessage READ validationMessageForQml NOTIFY validationChanged)
    Q_PROPERTY(bool canScan READ canScan NOTIFY canScanChanged)

public:
    explicit InspectorState(QObject *parent = nullptr);
    InspectorState(PortScannerService scanner, ProcessKillerService killer,
                   QObject *parent = nullptr);
    ~InspectorState() override;

    const QString &portText() const { return m_portText; }
    void setPortText(const QString &text);
    bool hasAttemptedScan() const { return m_hasAttemptedScan; }
    const QList<PortProcess> &processes() const { return m_processes; }
    ScanStatus status() const { return m_status; }
    QString statusName() const { return scanStatusName(m_status); }
    const QString &statusMessage() const { return m_statusMessage; }
    const QList<ActivityEntry> &activityEntries() const { return m_activityEntries; }
    std::optional<qint64> lastScannedPort() const { return m_lastScannedPort; }
    double leftColumnHeight() const { return m_leftColumnHeight; }
    bool isPortFocused() const { return m_isPortFocused; }
    void setPortFocused(bool focused);
    const std::optional<KillRequest> &pendingKill() const { return m_pendingKill; }
    std::optional<pid_t> activeKillPID() const { return m_activeKillPID; }

    std::optional<QString> validationMessage() const;
    std::optional<qint64> validatedPort() const;
    bool canScan() const;

    Q_INVOKABLE void startScan();
    QCoro::Task<void> scanPort(qint64 port);
    void appendActivity(const QString &message);
    // The reaction to every edit of the port text (not to its first display).
    Q_INVOKABLE void portTextChanged();
    Q_INVOKABLE void recordLeftColumnHeight(double height);

    Q_INVOKABLE void requestKill(const PortProcess &process, bool force);
    static KillConfirmationAlert killConfirmationAlert(const KillRequest &request);
    void confirmKill(const KillRequest &request);
    QCoro::Task<void> performKill(KillRequest request);
    // The alert's two ways out; either one leaves no request pending.
    Q_INVOKABLE void confirmPendingKill();
    Q_INVOKABLE void dismissPendingKill();

    static constexpr int activityLimit = 8;

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
    void validationChanged();
    void canScanChanged();

private:
    QVariantList processesForQml() const;
    QVariantList activityEntriesForQml() const;
    QVariant lastScannedPortForQml() const;
    QVariant pendingKillForQml() const;
    QVariant pendingKillAlertForQml() const;
    QVariant activeKillPIDForQml() const;
    QString validationMessageForQml() const { return validationMessage().value_or(QString()); }

    void setStatus(ScanStatus status, const QString &message);
    void setProcesses(QList<PortProcess> processes);
    void setLastScannedPort(qint64 port);
    void setActiveKillPID(std::optional<pid_t> pid);
    void setPendingKill(std::optional<KillRequest> request);

    PortScannerService m_scanner;
    ProcessKillerService m_killer;

    QString m_portText;
    bool m_hasAttemptedScan = false;
    QList<PortProcess> m_processes;
    ScanStatus m_status = ScanStatus::idle;
    QString m_statusMessage;
    QList<ActivityEntry> m_activityEntries;
    std::optional<qint64> m_lastScannedPort;
    double m_leftColumnHeight = 0;
    bool m_isPortFocused = false;
    std::optional<KillRequest> m_pendingKill;
    std::optional<pid_t> m_activeKillPID;
    // Requested when the window closes: its scans' lsof runs end with it.
    std::stop_source m_stopScans;
};
