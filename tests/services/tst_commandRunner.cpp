#include "awaitTask.h"
#include "commandRunner.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

CommandResult runScript(const QString &script) {
    return awaitTask(CommandRunner::run(u"/bin/sh"_s, {u"-c"_s, script}));
}

QCoro::Task<bool> resumesOnCallingThread(QString script) {
    QThread *const caller = QThread::currentThread();
    auto task = CommandRunner::run(u"/bin/sh"_s, {u"-c"_s, script});
    const CommandResult result = co_await task;
    co_return QThread::currentThread() == caller &&result.exitCode == 0;
}

} // namespace

Q_DECLARE_METATYPE(CommandResult)

class TestCommandRunner : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void reportsWhatTheChildPrintedAndHowItEnded_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<CommandResult>("expected");
        QTest::newRow("both streams, unmixed")
            << u"printf 'to out\\n'; printf 'to err' >&2; printf 'more out'"_s
            << CommandResult{u"to out\nmore out"_s, u"to err"_s, 0};
        QTest::newRow("exit status") << u"exit 3"_s << CommandResult{{}, {}, 3};
        QTest::newRow("ended by a signal")
            << u"printf before; kill -KILL $$"_s << CommandResult{u"before"_s, {}, SIGKILL};
        QTest::newRow("invalid UTF-8 empties only that stream")
            << u"printf 'ok\\377\\376'; printf 'caf\\303\\251' >&2; exit 1"_s
            << CommandResult{{}, u"café"_s, 1};
        QTest::newRow("cut-off sequence") << u"printf 'ab\\303'"_s << CommandResult{};
    }
    void reportsWhatTheChildPrintedAndHowItEnded() {
        QFETCH(QString, script);
        QFETCH(CommandResult, expected);
        QCOMPARE(runScript(script), expected);
    }

    void argumentListReachesTheChildAsGiven() {
        const CommandResult result =
            awaitTask(CommandRunner::run(u"/bin/sh"_s, {u"-c"_s, u"printf '%s|' \"$#\" \"$@\""_s,
                                                        u"sh"_s, u"a b"_s, u"$HOME *"_s}));
        QCOMPARE(result.standardOutput, u"2|a b|$HOME *|"_s);
        QCOMPARE(awaitTask(CommandRunner::run(u"/bin/echo"_s, {})).standardOutput, u"\n"_s);
    }

    void megabytesOnBothStreamsDoNotStall() {
        // 128 interleaved rounds of 64 KiB on each stream: each pipe overflows many times over.
        const CommandResult result =
            runScript(u"i=0; while [ $i -lt 128 ]; do head -c 65536 /dev/zero | tr '\\0' a; "
                      "head -c 65536 /dev/zero | tr '\\0' b >&2; i=$((i+1)); done"_s);
        constexpr qsizetype eightMiB = 8 * 1024 * 1024;
        QCOMPARE(result.standardOutput.count(u'a'), eightMiB);
        QCOMPARE(result.standardError.count(u'b'), eightMiB);
        QCOMPARE(result.exitCode, 0);
    }

    void missingProgramFailsToLaunch() {
        const QString path = u"/nonexistent/quaymeter-tool"_s;
        try {
            awaitTask(CommandRunner::run(path, {u"x"_s}));
            QFAIL("expected CommandRunnerError");
        } catch (const CommandRunnerError &error) {
            QCOMPARE(error.executablePath(), path);
            QCOMPARE(error.errorDescription(),
                     u"Could not launch /nonexistent/quaymeter-tool. No such file or directory"_s);
        }
    }

    // The child waits for a flag that only the caller's event loop sets, so a runner that held
    // the caller's thread while waiting would fail (after 30 s).
    void theCallersThreadRunsWhileTheChildRuns() {
        QTemporaryDir folder;
        const QString flag = folder.filePath(u"flag"_s);
        QTimer::singleShot(50, [&] { QFile(flag).open(QIODevice::WriteOnly); });
        QVERIFY(awaitTask(resumesOnCallingThread(u"i=0; while [ ! -e '"_s + flag +
                                                 u"' ] && [ $i -lt 3000 ]; do sleep 0.01; "
                                                 "i=$((i+1)); done; [ -e '"_s +
                                                 flag + u"' ]"_s)));
        QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
    }
};

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandRunner.moc"
