#pragma once

#include "commandRunner.h"
#include "kernelTcpTable.h"
#include "localizedError.h"
#include "portProcess.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>
#include <optional>
#include <stop_token>

// lsof reported a failure: its own words follow "Unable to scan the port. ".
class PortScannerError : public LocalizedError {
public:
    static PortScannerError failed(QString message) { return PortScannerError(std::move(message)); }

    const QString &message() const { return m_message; }
    QString errorDescription() const override;

private:
    explicit PortScannerError(QString message) : m_message(std::move(message)) {}

    QString m_message;
};

// A socket listening on the port that lsof did not list: another user's, whose process we may
// not inspect. The kernel still names its owner and addresses; it is an outcome, not a failure.
struct HiddenListener {
    QList<KernelListener> listeners;
    qint64 port = 0;

    // The first owner's user name, or "UID n" for a user without one.
    QString owner() const;
    // The bound addresses with the port, as lsof names them: "127.0.0.1:5432 and [::1]:5432".
    QString addresses() const;
    // The sentence the window shows for it.
    QString description() const;
};

// What a scan found: the listeners lsof lists or, when it lists none, a hidden one if any.
struct PortListing {
    QList<PortProcess> processes;
    std::optional<HiddenListener> hidden;
};

// Finds the processes listening on a TCP port by asking lsof.
class PortScannerService {
public:
    // Where lsof lives on Linux, in the order it is looked for; errors name the first.
    static const QStringList lsofCandidates;
    static const QString lsofPath;
    // The first of `candidates` that is an executable file, or else the first one.
    static QString locateLsof(const QStringList &candidates = lsofCandidates);

    explicit PortScannerService(RunStoppableCommand run = CommandRunner::runStoppable,
                                FindHiddenListener findHiddenListener = KernelTcpTable::listeners);
    // For a stand-in runner that has nothing to stop.
    explicit PortScannerService(RunCommand run,
                                FindHiddenListener findHiddenListener = KernelTcpTable::listeners);

    // Throws PortScannerError, or CommandRunnerError when lsof cannot be started. A stop request
    // ends lsof and yields an empty listing nobody is meant to read.
    QCoro::Task<PortListing> findListeners(qint64 port, std::stop_token stop = {}) const;

    // lsof's finished run read into records, each with its identity from /proc; throws
    // PortScannerError for a failure lsof reported.
    static QCoro::Task<QList<PortProcess>> recordsFrom(CommandResult result, qint64 port);
    static QStringList lsofArguments(qint64 port);
    // One line of the listing as a record, or nothing for a line that is none or whose PID is
    // in `skip` (then no text is copied).
    static std::optional<PortProcess> parseListenerLine(QStringView line, qint64 port,
                                                        const QSet<pid_t> &skip = {});
    // Everything after running lsof except the kernel-table check: the records in output order,
    // one per PID. Throws PortScannerError for a failure lsof reported; empty means none listed.
    static QList<PortProcess> readListeners(const CommandResult &result, qint64 port);

private:
    RunStoppableCommand m_run;
    FindHiddenListener m_findHiddenListener;
};
