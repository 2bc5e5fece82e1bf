#include "awaitTask.h"
#include "processKillerService.h"

#include <QFile>
#include <QtTest>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace Qt::StringLiterals;

namespace {

// Real texts of procps' /bin/kill (Debian 12).
const QString noSuchProcess = u"/bin/kill: (999999): No such process\n"_s;
const QString notPermitted = u"/bin/kill: (1): Operation not permitted\n"_s;

pid_t spawn(std::initializer_list<const char *> command) {
    std::vector<char *> argv;
    for (const char *argument : command)
        argv.push_back(const_cast<char *>(argument));
    argv.push_back(nullptr);
    pid_t pid = -1;
    return ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// The signal that ended `pid`, or 0.
int reapSignal(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

QString commandOf(pid_t pid) {
    QFile file(u"/proc/"_s + QString::number(pid) + u"/comm"_s);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

std::optional<ProcessKillerError> killWith(const ProcessKillerService &killer, pid_t pid,
                                           bool force) {
    try {
        awaitTask(killer.kill(pid, force));
    } catch (const ProcessKillerError &error) {
        return error;
    }
    return std::nullopt;
}

std::optional<ProcessKillerError> classify(const QString &err, int exitCode = 1, pid_t pid = 4242) {
    return ProcessKillerService::classify(
        CommandResult{u"ignored: no such process"_s, err, exitCode}, pid);
}

QCoro::Task<CommandResult> answer(CommandResult result) {
    co_return result;
}

} // namespace

class TestProcessKiller : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // --- the real /bin/kill against real children ---

    void defaultSignalEndsAChild() {
        const pid_t child = spawn({"/bin/sleep", "60"});
        QVERIFY(child > 0);
        QVERIFY(!killWith(ProcessKillerService(), child, false));
        QCOMPARE(reapSignal(child), SIGTERM);
    }

    void forceKillEndsAChildThatIgnoresTerm() {
        const pid_t child = spawn({"/bin/sh", "-c", "trap '' TERM; exec /bin/sleep 60"});
        QVERIFY(child > 0);
        QTRY_COMPARE(commandOf(child), u"sleep"_s); // the trap is in place
        QVERIFY(!killWith(ProcessKillerService(), child, false));
        int status = 0;
        QCOMPARE(::waitpid(child, &status, WNOHANG), 0); // still running
        QVERIFY(!killWith(ProcessKillerService(), child, true));
        QCOMPARE(reapSignal(child), SIGKILL);
    }

    void goneProcessIsNotFound() {
        const pid_t child = spawn({"/bin/true"});
        QVERIFY(child > 0);
        reapSignal(child);
        const auto error = killWith(ProcessKillerService(), child, false);
        QVERIFY(error);
        QCOMPARE(error->errorCase(), ProcessKillerError::Case::processNotFound);
        QCOMPARE(error->errorDescription(),
                 u"PID "_s + QString::number(child) + u" is no longer running."_s);
    }

    void anotherUsersProcessIsPermissionDenied() {
        if (::getuid() != 0 || !QFile::exists(u"/usr/bin/setpriv"_s))
            QSKIP("needs root to run kill as another user");
        const pid_t child = spawn({"/bin/sleep", "60"});
        QVERIFY(child > 0);
        const ProcessKillerService asNobody([](const QString &path, const QStringList &arguments) {
            return CommandRunner::run(
                u"/usr/bin/setpriv"_s,
                QStringList{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, path} +
                    arguments);
        });
        const auto error = killWith(asNobody, child, true);
        ::kill(child, SIGKILL);
        reapSignal(child);
        QVERIFY(error);
        QCOMPARE(error->errorCase(), ProcessKillerError::Case::permissionDenied);
    }

    // --- the command ---

    void argumentsForNormalAndForceKill() {
        QStringList command;
        const ProcessKillerService killer([&](const QString &path, const QStringList &arguments) {
            command = QStringList{path} + arguments;
            return answer({});
        });
        QVERIFY(!killWith(killer, 1234, false));
        QCOMPARE(command, (QStringList{u"/bin/kill"_s, u"1234"_s}));
        QVERIFY(!killWith(killer, 1234, true));
        QCOMPARE(command, (QStringList{u"/bin/kill"_s, u"-9"_s, u"1234"_s}));
    }

    void nonPositivePidIsRefusedWithoutRunningTheTool() {
        int runs = 0;
        const ProcessKillerService killer([&](const QString &, const QStringList &) {
            ++runs;
            return answer({});
        });
        for (const pid_t pid : {0, -1, -4242}) {
            const auto error = killWith(killer, pid, true);
            QVERIFY(error);
            QCOMPARE(error->errorCase(), ProcessKillerError::Case::failed);
            QCOMPARE(error->errorDescription(), u"Could not kill PID "_s + QString::number(pid) +
                                                    u". PID must be a positive number."_s);
        }
        QCOMPARE(runs, 0);
    }

    void launchFailureIsTheRunnersError() {
        const ProcessKillerService killer([](const QString &, const QStringList &arguments) {
            return CommandRunner::run(u"/nonexistent/kill"_s, arguments);
        });
        QVERIFY_THROWS_EXCEPTION(CommandRunnerError, awaitTask(killer.kill(4242, false)));
    }

    // --- classification ---

    void classification() {
        QVERIFY(!classify(noSuchProcess, 0)); // exit 0 wins over any text
        QCOMPARE(classify(noSuchProcess)->errorCase(), ProcessKillerError::Case::processNotFound);
        QCOMPARE(classify(u"NO SUCH PROCESS"_s, 1, 1234)->errorDescription(),
                 u"PID 1234 is no longer running."_s);
        QCOMPARE(
            classify(notPermitted, 1, 1)->errorDescription(),
            u"Permission denied while killing PID 1. That process may require admin privileges or belong to another protected service."_s);
        QCOMPARE(classify(u"PERMISSION DENIED"_s)->errorCase(),
                 ProcessKillerError::Case::permissionDenied);
        QCOMPARE(classify(u"no such process; permission denied"_s)->errorCase(),
                 ProcessKillerError::Case::permissionDenied);
        const auto blank = classify(u"  \n \n"_s, 2);
        QCOMPARE(blank->errorCase(), ProcessKillerError::Case::failed);
        QCOMPARE(blank->message(), u"kill exited with status 2."_s);
        QCOMPARE(classify({}, 1)->errorDescription(),
                 u"Could not kill PID 4242. kill exited with status 1."_s);
        QCOMPARE(classify(u"  kill: failed to parse argument: 'x'\n"_s)->errorDescription(),
                 u"Could not kill PID 4242. kill: failed to parse argument: 'x'"_s);
    }
};

QTEST_GUILESS_MAIN(TestProcessKiller)
#include "tst_processKiller.moc"
