#include "awaitTask.h"
#include "inspectorState.h"
#include "listenerGroup.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

CommandResult runScript(const QString &script) {
    return awaitTask(
        CommandRunner::run(u"/bin/sh"_s, {u"-c"_s, script, u"sh"_s, u"a b"_s, u"$HOME *"_s}));
}

QCoro::Task<bool> resumesOnCallingThread(QString script) {
    QThread *const caller = QThread::currentThread();
    auto task = CommandRunner::run(u"/bin/sh"_s, {u"-c"_s, script});
    const CommandResult result = co_await task;
    co_return QThread::currentThread() == caller &&result.exitCode == 0;
}

// Ended and reaped: not even a zombie is left.
bool gone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Ended, whoever reaps it.
bool ended(pid_t pid) {
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
}

} // namespace

Q_DECLARE_METATYPE(CommandResult)

// The process layer with real children and real tools: what a run reports, and its faults.
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
        QTest::newRow("arguments as given")
            << u"printf '%s|' \"$#\" \"$@\""_s << CommandResult{u"2|a b|$HOME *|"_s, {}, 0};
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
        try {
            awaitTask(CommandRunner::run(u"/nonexistent/tool"_s, {}));
            QFAIL("launched");
        } catch (const CommandRunnerError &error) {
            QCOMPARE(error.errorDescription(),
                     u"Could not launch /nonexistent/tool. No such file or directory"_s);
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

    // With SIGCHLD ignored the kernel reaps the tools and their status is lost: no outcome may be
    // made up from it (a failed kill read as a success; lsof's free port: the window's test of a
    // long status).
    void ignoredSigchldNeverReadsAsAnOutcome() {
        std::signal(SIGCHLD, SIG_IGN);
        const auto restore = qScopeGuard([] { std::signal(SIGCHLD, SIG_DFL); });
        try {
            awaitTask(ProcessKillerService().kill(std::numeric_limits<pid_t>::max(), false));
            QFAIL("an outcome without a status");
        } catch (const CommandRunnerError &error) {
            QCOMPARE(error.errorDescription(),
                     u"Could not wait for /bin/kill to finish. No child processes"_s);
        }
    }

    void childrenGetEnglishUtf8AndTheRestOfTheEnvironment() {
        qputenv("LANGUAGE", "de");
        qputenv("LC_ALL", "de_DE.UTF-8");
        qputenv("QUAYMETER_PROBE", "Grüße");
        const CommandResult result = awaitTask(CommandRunner::run(u"/usr/bin/env"_s, {}));
        for (const char *name : {"LANGUAGE", "LC_ALL", "QUAYMETER_PROBE"})
            qunsetenv(name);
        const QStringList lines = result.standardOutput.split(u'\n');
        QCOMPARE(lines.filter(QRegularExpression(u"^(LC_ALL|LANGUAGE)="_s)),
                 QStringList{u"LC_ALL=C.UTF-8"_s});
        QVERIFY(lines.contains(u"QUAYMETER_PROBE=Grüße"_s));
    }

    // Several windows whose lsof hangs (a dead network mount): a kill still starts, and completes
    // though its own window closes at once; closing the others ends each lsof and what it forked.
    void killWhileScansHangThenCloseTheirWindows() {
        const QTemporaryDir dir;
        const QString pidFile = dir.filePath(u"pids"_s);
        const RunStoppableCommand hungLsof = [pidFile](const QString &, const QStringList &,
                                                       std::stop_token stop) {
            const QString script = u"sleep 30 & echo $$ $! >> \"$0\"; wait"_s;
            return CommandRunner::runStoppable(u"/bin/sh"_s, {u"-c"_s, script, pidFile}, stop);
        };
        // The window that kills lists its victim first: a kill goes only to a listed process.
        const ListenerGroup victim(1);
        auto killer = std::make_unique<InspectorState>();
        killer->setPortText(QString::number(victim.port()));
        killer->startScan();
        QTRY_COMPARE(killer->status(), ScanStatus::inUse);
        std::vector<std::unique_ptr<InspectorState>> windows;
        for (int i = 0; i < 32; ++i) {
            windows.push_back(std::make_unique<InspectorState>(PortScannerService(hungLsof),
                                                               ProcessKillerService()));
            windows.back()->setPortText(u"8080"_s);
            windows.back()->startScan();
        }
        const auto pids = [&] {
            QFile file(pidFile);
            if (!file.open(QIODevice::ReadOnly))
                return QStringList();
            return QString::fromLatin1(file.readAll())
                .split(QRegularExpression(u"\\s+"_s), Qt::SkipEmptyParts);
        };
        QTRY_COMPARE(pids().size(), 64);

        const pid_t pid = victim.children().first();
        auto killing =
            killer->performKill({QUuid::createUuid(), killer->processes().constFirst(), true});
        killer.reset();
        QTRY_VERIFY(ended(pid));

        windows.clear();
        for (qsizetype i = 0; i < pids().size(); i += 2) {
            QTRY_VERIFY(gone(pids()[i].toInt()));
            QTRY_VERIFY(ended(pids()[i + 1].toInt()));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandRunner.moc"
