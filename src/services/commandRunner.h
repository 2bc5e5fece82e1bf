#pragma once

#include "localizedError.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <qcoro/qcorotask.h>
#include <stop_token>

struct CommandResult {
    QString standardOutput;
    QString standardError;
    qint32 exitCode = 0;

    friend bool operator==(const CommandResult &, const CommandResult &) = default;
};

class CommandRunnerError : public LocalizedError {
public:
    // waitFailed: the child ran but how it ended could not be read, so there is no result to trust.
    enum class Case { launchFailed, waitFailed };

    static CommandRunnerError launchFailed(QString executablePath, QString reason) {
        return CommandRunnerError(Case::launchFailed, std::move(executablePath), std::move(reason));
    }
    static CommandRunnerError waitFailed(QString executablePath, QString reason) {
        return CommandRunnerError(Case::waitFailed, std::move(executablePath), std::move(reason));
    }

    Case errorCase() const { return m_case; }
    const QString &executablePath() const { return m_executablePath; }
    const QString &reason() const { return m_reason; }
    QString errorDescription() const override;

private:
    CommandRunnerError(Case errorCase, QString executablePath, QString reason)
        : m_case(errorCase), m_executablePath(std::move(executablePath)),
          m_reason(std::move(reason)) {}

    Case m_case;
    QString m_executablePath;
    QString m_reason;
};

// The signature services use to run a tool; tests swap in a scripted one.
using RunCommand = std::function<QCoro::Task<CommandResult>(const QString &executablePath,
                                                            const QStringList &arguments)>;
// The same for a caller that may give up on the tool: a stop request ends the child and whatever
// it started, and the result is then that of a killed child.
using RunStoppableCommand = std::function<QCoro::Task<CommandResult>(
    const QString &executablePath, const QStringList &arguments, std::stop_token stop)>;

namespace CommandRunner {

// Runs the program at `executablePath` with `arguments` (no shell) on a background thread and
// resumes the caller on its own thread once the child has exited and its output is read.
// Children run with LC_ALL=C.UTF-8 and no LANGUAGE, so their messages are the English ones we
// read. Throws CommandRunnerError when the program cannot be started or its end cannot be read.
QCoro::Task<CommandResult> run(const QString &executablePath, const QStringList &arguments);
QCoro::Task<CommandResult> runStoppable(const QString &executablePath, const QStringList &arguments,
                                        std::stop_token stop);

// The blocking part of run(), for callers that already are on a background thread.
// Returns the launch error's description in `launchError` instead of throwing; still throws
// CommandRunnerError when the child's end cannot be read.
CommandResult runBlocking(const QString &executablePath, const QStringList &arguments,
                          QString *launchError, std::stop_token stop = {});

// The whole stream, or empty text when any byte sequence in it is not valid UTF-8.
QString decodeUtf8(QByteArrayView bytes);

} // namespace CommandRunner
