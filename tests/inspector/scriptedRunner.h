#pragma once

#include "commandRunner.h"

#include <QFuture>
#include <QList>
#include <QPromise>
#include <memory>
#include <optional>
#include <qcoro/qcorofuture.h>

// Stands in for the command runner where a test must decide what a tool prints and when it
// answers. Each call waits until the test answers it, so scans and kills can overlap at will.
class ScriptedRunner {
public:
    struct Answer {
        CommandResult result;
        std::optional<QString> launchError;
    };
    struct Call {
        QString executablePath;
        QStringList arguments;
        QPromise<Answer> promise;
    };

    RunCommand command() {
        return [this](const QString &path, const QStringList &arguments) {
            auto call = std::make_shared<Call>();
            call->executablePath = path;
            call->arguments = arguments;
            call->promise.start();
            m_calls.append(call);
            return wait(call);
        };
    }

    qsizetype callCount() const { return m_calls.size(); }
    const Call &call(qsizetype index) const { return *m_calls.at(index); }

    void answer(qsizetype index, CommandResult result) { finish(index, {std::move(result), {}}); }
    void failToLaunch(qsizetype index, const QString &reason) { finish(index, {{}, reason}); }

private:
    static QCoro::Task<CommandResult> wait(std::shared_ptr<Call> call) {
        auto future = call->promise.future();
        const Answer answer = co_await future;
        if (answer.launchError) {
            throw CommandRunnerError::launchFailed(call->executablePath, *answer.launchError);
        }
        co_return answer.result;
    }

    void finish(qsizetype index, Answer answer) {
        auto &promise = m_calls.at(index)->promise;
        promise.addResult(std::move(answer));
        promise.finish();
    }

    QList<std::shared_ptr<Call>> m_calls;
};
