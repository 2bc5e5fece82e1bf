#pragma once

#include "localizedError.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <qcoro/qcorotask.h>

#include <functional>

struct CommandResult {
    QString standardOutput;
    QString standardError;
    qint32 exitCode = 0;

    friend bool operator==(const CommandResult &, const CommandResult &) = default;
};

class CommandRunnerError : public LocalizedError {
public:
    enum class Case { launchFailed };

    static CommandRunnerError launchFailed(QString executablePath, QString reason) {
        return CommandRunnerError(std::move(executablePath), std::move(reason));
    }

    Case errorCase() const { return Case::launchFailed; }
    const QString &executablePath() const { return m_executablePath; }
    const QString &reason() const { return m_reason; }
    QString errorDescription() const override;

private:
    CommandRunnerError(QString executablePath, QString reason)
        : m_executablePath(std::move(executablePath)), m_reason(std::move(reason)) {}

    QString m_executablePath;
    QString m_reason;
};

// The signature services use to run a tool; tests swap in a scripted one.
using RunCommand =
    std::function<QCoro::Task<CommandResult>(const QString &executablePath, const QStringList &arguments)>;

namespace CommandRunner {

// Runs the program at `executablePath` with `arguments` (no shell) on a background thread and
// resumes the caller on its own thread once the child has exited and both pipes are drained.
// Throws CommandRunnerError when the program cannot be started.
QCoro::Task<CommandResult> run(const QString &executablePath, const QStringList &arguments);

// The blocking part of run(), for callers that already are on a background thread.
// Returns the launch error's description in `launchError` instead of throwing.
CommandResult runBlocking(const QString &executablePath, const QStringList &arguments,
                          QString *launchError);

} // namespace CommandRunner
