#pragma once

#include "commandRunner.h"
#include "localizedError.h"

#include <QString>
#include <sys/types.h>

class ProcessKillerError : public LocalizedError {
public:
    enum class Case { permissionDenied, processNotFound, failed };

    static ProcessKillerError permissionDenied(pid_t pid) {
        return ProcessKillerError(Case::permissionDenied, pid, {});
    }
    static ProcessKillerError processNotFound(pid_t pid) {
        return ProcessKillerError(Case::processNotFound, pid, {});
    }
    static ProcessKillerError failed(pid_t pid, QString message) {
        return ProcessKillerError(Case::failed, pid, std::move(message));
    }

    Case errorCase() const { return m_case; }
    pid_t pid() const { return m_pid; }
    const QString &message() const { return m_message; }
    QString errorDescription() const override;

private:
    ProcessKillerError(Case errorCase, pid_t pid, QString message)
        : m_case(errorCase), m_pid(pid), m_message(std::move(message)) {}

    Case m_case;
    pid_t m_pid;
    QString m_message;
};

// Signals one process through /bin/kill.
class ProcessKillerService {
public:
    static const QString killPath;

    explicit ProcessKillerService(RunCommand run = CommandRunner::run);

    // Throws ProcessKillerError, or CommandRunnerError when the tool cannot be started.
    QCoro::Task<void> kill(pid_t pid, bool force) const;

    static QStringList killArguments(pid_t pid, bool force);
    // The error for a finished run of the tool, or nothing when it succeeded.
    static std::optional<ProcessKillerError> classify(const CommandResult &result, pid_t pid);

private:
    RunCommand m_run;
};
