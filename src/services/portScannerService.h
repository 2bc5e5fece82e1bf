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

class PortScannerError : public LocalizedError {
public:
    // hiddenListener: lsof listed nothing, yet the kernel shows a socket listening on the port,
    // owned by a user whose processes we may not inspect.
    enum class Case { failed, hiddenListener };

    static PortScannerError failed(QString message) {
        return PortScannerError(Case::failed, std::move(message), {}, 0);
    }
    static PortScannerError hiddenListener(QList<KernelListener> listeners, qint64 port) {
        return PortScannerError(Case::hiddenListener, {}, std::move(listeners), port);
    }

    Case errorCase() const { return m_case; }
    const QString &message() const { return m_message; }
    const QList<KernelListener> &hiddenListeners() const { return m_listeners; }
    // The first owner's user name, or "UID n" for a user without one.
    QString owner() const;
    // The bound addresses with the port, as lsof names them: "127.0.0.1:5432 and [::1]:5432".
    QString addresses() const;
    QString errorDescription() const override;

private:
    PortScannerError(Case errorCase, QString message, QList<KernelListener> listeners, qint64 port)
        : m_case(errorCase), m_message(std::move(message)), m_listeners(std::move(listeners)),
          m_port(port) {}

    Case m_case;
    QString m_message;
    QList<KernelListener> m_listeners;
    qint64 m_port;
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
    // ends lsof and yields an empty list nobody is meant to read.
    QCoro::Task<QList<PortProcess>> findListeners(qint64 port, std::stop_token stop = {}) const;

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
