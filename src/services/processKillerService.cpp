#include "processKillerService.h"

const QString ProcessKillerService::killPath = QStringLiteral("/bin/kill");

QString ProcessKillerError::errorDescription() const {
    const QString pid = QString::number(m_pid);
    switch (m_case) {
    case Case::permissionDenied:
        return QStringLiteral("Permission denied while killing PID ") + pid +
               QStringLiteral(". That process may require admin privileges or belong to another "
                              "protected service.");
    case Case::processNotFound:
        return QStringLiteral("PID ") + pid + QStringLiteral(" is no longer running.");
    case Case::failed:
        break;
    }
    return QStringLiteral("Could not kill PID ") + pid + QStringLiteral(". ") + m_message;
}

ProcessKillerService::ProcessKillerService(RunCommand run) : m_run(std::move(run)) {}

QStringList ProcessKillerService::killArguments(pid_t pid, bool force) {
    const QString target = QString::number(pid);
    return force ? QStringList{QStringLiteral("-9"), target} : QStringList{target};
}

std::optional<ProcessKillerError> ProcessKillerService::classify(const CommandResult &result,
                                                                 pid_t pid) {
    if (result.exitCode == 0)
        return std::nullopt;
    const QString text = result.standardError.trimmed();
    if (text.contains(u"operation not permitted", Qt::CaseInsensitive) ||
        text.contains(u"permission denied", Qt::CaseInsensitive))
        return ProcessKillerError::permissionDenied(pid);
    if (text.contains(u"no such process", Qt::CaseInsensitive))
        return ProcessKillerError::processNotFound(pid);
    return ProcessKillerError::failed(
        pid, text.isEmpty() ? QStringLiteral("kill exited with status ") +
                                  QString::number(result.exitCode) + QStringLiteral(".")
                            : text);
}

QCoro::Task<void> ProcessKillerService::kill(pid_t pid, bool force) const {
    // kill 0 would signal our own process group, kill -1 every process of the user.
    if (pid <= 0)
        throw ProcessKillerError::failed(pid, QStringLiteral("PID must be a positive number."));
    // The window refuses it before this; a caller that did not must not reach the machine's init.
    if (pid == 1)
        throw ProcessKillerError::failed(pid,
                                         QStringLiteral("The init process is never signalled."));
    // Copies: the service may be gone (its window closed) by the time the tool answers.
    const RunCommand run = m_run;
    const QStringList arguments = killArguments(pid, force);
    auto signalling = run(killPath, arguments);
    const CommandResult result = co_await signalling;
    if (const std::optional<ProcessKillerError> error = classify(result, pid))
        throw *error;
}
