#include "awaitTask.h"
#include "commandRunner.h"

#include <QCoreApplication>
#include <QThread>
#include <QtTest>
#include <csignal>

namespace {

CommandResult runScript(const QString &script) {
    return awaitTask(CommandRunner::run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}));
}

QCoro::Task<bool> resumesOnCallingThread() {
    QThread *const caller = QThread::currentThread();
    auto task = CommandRunner::run(QStringLiteral("/bin/true"), {});
    co_await task;
    co_return QThread::currentThread() == caller;
}

} // namespace

class TestCommandRunner : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void bothStreamsArriveUnmixed() {
        const CommandResult result =
            runScript(QStringLiteral("printf 'to out\\n'; printf 'to err' >&2; printf 'more out'"));
        QCOMPARE(result.standardOutput, QStringLiteral("to out\nmore out"));
        QCOMPARE(result.standardError, QStringLiteral("to err"));
        QCOMPARE(result.exitCode, 0);
    }

    void nonZeroExitIsAResult() {
        QCOMPARE(runScript(QStringLiteral("exit 3")), (CommandResult{{}, {}, 3}));
    }

    void invalidUtf8EmptiesOnlyThatStream() {
        const CommandResult result =
            runScript(QStringLiteral("printf 'ok\\377\\376'; printf 'caf\\303\\251' >&2; exit 1"));
        QCOMPARE(result, (CommandResult{{}, QStringLiteral(u"café"), 1}));
        // A sequence cut off at the end is invalid too, never decoded partially.
        QCOMPARE(runScript(QStringLiteral("printf 'ab\\303'")).standardOutput, QString());
    }

    void megabytesOnBothStreamsDoNotStall() {
        // 128 interleaved rounds of 64 KiB on each stream: each pipe overflows many times over.
        const CommandResult result = runScript(QStringLiteral(
            "i=0; while [ $i -lt 128 ]; do "
            "head -c 65536 /dev/zero | tr '\\0' a; head -c 65536 /dev/zero | tr '\\0' b >&2; "
            "i=$((i+1)); done"));
        constexpr qsizetype eightMiB = 8 * 1024 * 1024;
        QCOMPARE(result.standardOutput.size(), eightMiB);
        QCOMPARE(result.standardError.size(), eightMiB);
        QCOMPARE(result.standardOutput.count(u'a'), eightMiB);
        QCOMPARE(result.standardError.count(u'b'), eightMiB);
        QCOMPARE(result.exitCode, 0);
    }

    void childEndedBySignalReportsTheSignal() {
        const CommandResult result = runScript(QStringLiteral("printf before; kill -KILL $$"));
        QCOMPARE(result.exitCode, SIGKILL);
        QCOMPARE(result.standardOutput, QStringLiteral("before"));
    }

    void missingProgramFailsToLaunch() {
        const QString path = QStringLiteral("/nonexistent/quaymeter-tool");
        try {
            awaitTask(CommandRunner::run(path, {QStringLiteral("x")}));
            QFAIL("expected CommandRunnerError");
        } catch (const CommandRunnerError &error) {
            QCOMPARE(error.errorCase(), CommandRunnerError::Case::launchFailed);
            QCOMPARE(error.executablePath(), path);
            QCOMPARE(error.reason(), QStringLiteral("No such file or directory"));
            QCOMPARE(
                error.errorDescription(),
                QStringLiteral(
                    "Could not launch /nonexistent/quaymeter-tool. No such file or directory"));
        }
        QString launchError;
        CommandRunner::runBlocking(path, {}, &launchError);
        QCOMPARE(launchError, QStringLiteral("No such file or directory"));
    }

    void argumentsPassVerbatimWithoutShell() {
        const CommandResult result = awaitTask(CommandRunner::run(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("printf '%s|' \"$#\" \"$@\""),
             QStringLiteral("sh"), QStringLiteral("a b"), QStringLiteral("$HOME *")}));
        QCOMPARE(result.standardOutput, QStringLiteral("2|a b|$HOME *|"));
    }

    void noArguments() {
        const CommandResult result = awaitTask(CommandRunner::run(QStringLiteral("/bin/echo"), {}));
        QCOMPARE(result, (CommandResult{QStringLiteral("\n"), {}, 0}));
    }

    void resultArrivesOnTheCallersThread() {
        QVERIFY(awaitTask(resumesOnCallingThread()));
        QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
    }
};

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandRunner.moc"
