#pragma once

#include "commandRunner.h"
#include "kernelTcpTable.h"
#include "localizedError.h"
#include "portProcess.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

class PortScannerError : public LocalizedError {
public:
    enum class Case { failed };

    static PortScannerError failed(QString message) { return PortScannerError(std::move(message)); }

    Case errorCase() const { return Case::failed; }
    const QString &message() const { return m_message; }
    QString errorDescription() const override;

private:
    explicit PortScannerError(QString message) : m_message(std::move(message)) {}

    QString m_message;
};

// Finds the processes listening on a TCP port by asking lsof.
class PortScannerService {
public:
    static const QString lsofPath;

    explicit PortScannerService(RunCommand run = CommandRunner::run,
                                FindHiddenListener findHiddenListener = KernelTcpTable::hasListener);

    // Throws PortScannerError, or CommandRunnerError when lsof cannot be started.
    QCoro::Task<QList<PortProcess>> findListeners(qint64 port) const;

    static QStringList lsofArguments(qint64 port);
    static std::optional<PortProcess> parseListenerLine(const QString &line, qint64 port);
    // Everything after running lsof except the kernel-table check: the records in output order,
    // one per PID. Throws PortScannerError for a failure lsof reported; empty means none listed.
    static QList<PortProcess> readListeners(const CommandResult &result, qint64 port);
    static QStringList splitLines(const QString &text);

private:
    RunCommand m_run;
    FindHiddenListener m_findHiddenListener;
};
