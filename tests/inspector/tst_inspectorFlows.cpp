#include "activityLines.h"
#include "captures.h"
#include "inspectorState.h"
#include "listenerGroup.h"

#include <QFile>
#include <QFuture>
#include <QProcess>
#include <QPromise>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <qcoro/qcorofuture.h>

using namespace Qt::StringLiterals;

namespace {

// Stands in for the command runner where a test must decide what a tool prints and when it
// answers. Each call waits until the test answers it, so scans and kills can overlap at will.
class ScriptedRunner {
public:
    struct Call {
        QString executablePath;
        QStringList arguments;
        QPromise<CommandResult> promise;
        std::optional<QString> launchError;
        std::stop_token stop;
    };

    RunStoppableCommand stoppable() {
        return [this](const QString &path, const QStringList &arguments, std::stop_token stop) {
            auto call = std::shared_ptr<Call>(new Call{path, arguments, {}, {}, stop});
            call->promise.start();
            m_calls.append(call);
            return wait(call);
        };
    }
    RunCommand command() {
        return [run = stoppable()](const QString &path, const QStringList &arguments) {
            return run(path, arguments, {});
        };
    }

    qsizetype callCount() const { return m_calls.size(); }
    const Call &call(qsizetype index) const { return *m_calls.at(index); }

    void answer(qsizetype index, CommandResult result, std::optional<QString> launchError = {}) {
        Call &call = *m_calls.at(index);
        call.launchError = launchError;
        call.promise.addResult(std::move(result));
        call.promise.finish();
    }
    void failToLaunch(qsizetype index, const QString &reason) { answer(index, {}, reason); }

private:
    static QCoro::Task<CommandResult> wait(std::shared_ptr<Call> call) {
        auto future = call->promise.future();
        const CommandResult result = co_await future;
        if (call->launchError)
            throw CommandRunnerError::launchFailed(call->executablePath, *call->launchError);
        co_return result;
    }

    QList<std::shared_ptr<Call>> m_calls;
};

// What lsof prints on Linux for a listener on 127.0.0.1 and ::1.
const QString heading = u"COMMAND  PID USER   FD   TYPE DEVICE SIZE/OFF NODE NAME\n"_s;
QString listenerLines(const QString &command, int pid, qint64 port) {
    return u"%1 %2 dev    3u  IPv4  12091      0t0  TCP 127.0.0.1:%3 (LISTEN)\n"
           "%1 %2 dev    4u  IPv6  12092      0t0  TCP [::1]:%3 (LISTEN)\n"_s.arg(command)
               .arg(pid)
               .arg(port);
}
CommandResult found(const QString &command, int pid, qint64 port, const QString &more = {}) {
    return {heading + listenerLines(command, pid, port) + more, {}, 0};
}
const CommandResult nothingListed{{}, {}, 1};
const CommandResult killed{{}, {}, 0};
const CommandResult lsofError{{}, u"lsof: unknown TCP state name: BOGUS\n"_s, 1};
// What pkexec 122 prints when it does not run the helper, and the helper's own refusal.
const CommandResult notAuthorizedRun{
    {},
    u"Error executing command as another user: Not authorized\n\nThis incident has been reported.\n"_s,
    127};
const QString helper = u"/usr/libexec/quaymeter/quaymeter-helper"_s;
const RuntimeEndpoint docker{u"Docker"_s, u"/usr/bin/docker"_s, u"/run/docker.sock"_s};

enum Reaction {
    ignores,
    exitsAfterASecond,
    exitsAtOnce,
    handsOver,
    besideASibling,
    supervised,
    exitsLongAfterTerm
};
enum WatchEnd { takenAgain, staysFree, scannedMeanwhile, scannedAsAdministrator, windowClosed };

// A watch of a freed port that the test ends when it likes.
struct Watch {
    std::stop_token stop;
    QPromise<bool> taken;
};
QCoro::Task<bool> await(std::shared_ptr<Watch> watch) {
    auto future = watch->taken.future();
    co_return co_await future;
}
void end(Watch &watch, bool taken) {
    watch.taken.addResult(taken);
    watch.taken.finish();
}

// A python3 server on `port` that dies with the test. Supervised, a shell loop starts it again
// 0.6 s after each exit, as systemd's Restart= or a container's restart policy would; slow to
// stop, it takes 10 s to shut down after TERM, as a daemon stopping its children does.
class PythonServer {
public:
    PythonServer(quint16 port, bool supervised) {
        const QString server = u"import ctypes, signal, socket, sys, time\n"
                               "ctypes.CDLL(None).prctl(1, signal.SIGKILL)\n"
                               "if sys.argv[2] == 'slow': signal.signal(signal.SIGTERM, "
                               "lambda *_: (time.sleep(10), sys.exit()))\n"
                               "s = socket.create_server(('127.0.0.1', int(sys.argv[1])))\n"
                               "while True: signal.pause()\n"_s;
        const QString loop = u"while :; do python3 -c \"$0\" %1 -; sleep 0.6; done"_s.arg(port);
        m_process.setStandardErrorFile(QProcess::nullDevice()); // sh reports each kill
        const QString once = u"exec python3 -c \"$0\" %1 slow"_s.arg(port);
        m_process.start(u"/usr/bin/setpriv"_s, {u"--pdeathsig=KILL"_s, u"/bin/sh"_s, u"-c"_s,
                                                supervised ? loop : once, server});
    }
    ~PythonServer() {
        m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

bool listening(quint16 port) {
    QFile table(u"/proc/net/tcp"_s);
    return table.open(QIODevice::ReadOnly) &&
           !KernelTcpTable::tableListeners(QString::fromLatin1(table.readAll()), port).isEmpty();
}

} // namespace

Q_DECLARE_METATYPE(CommandResult)

class InspectorFlowsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedRunner> runner;
    QList<std::shared_ptr<Watch>> watches;
    QList<KernelListener> kernelListeners; // what the kernel's tables show when lsof lists none

    // `policy`: whether polkit's installed actions name the helper.
    // `runtimes`: the container runtimes found on the machine, asked through the runner.
    std::unique_ptr<InspectorState> makeState(bool policy = true,
                                              QList<RuntimeEndpoint> runtimes = {}) {
        auto probe = [this](qint64) -> QCoro::Task<QList<KernelListener>> {
            co_return kernelListeners;
        };
        const auto run = runner->stoppable();
        auto watch = [this](qint64, auto, std::stop_token stop) {
            watches << std::make_shared<Watch>(Watch{stop, {}});
            watches.last()->taken.start();
            return await(watches.last());
        };
        return std::make_unique<InspectorState>(
            PortScannerService(run, probe), ProcessKillerService(runner->command()), nullptr,
            AwaitExit(), watch,
            AdministratorService(run, helper, [policy](const QString &) { return policy; }),
            ContainerRuntime(run, [runtimes] { return runtimes; }));
    }

    // Types the port, presses Scan and waits until lsof has been asked.
    void scan(InspectorState &state, const QString &port) {
        const qsizetype before = runner->callCount();
        state.setPortText(port);
        state.startScan();
        QTRY_COMPARE(runner->callCount(), before + 1);
    }

    // A window whose last scan of port 3000 listed node 4242 and python3 77.
    std::unique_ptr<InspectorState> stateWithListeners(bool policy = true) {
        auto state = makeState(policy);
        scan(*state, u"3000"_s);
        runner->answer(runner->callCount() - 1,
                       found(u"node"_s, 4242, 3000, listenerLines(u"python3"_s, 77, 3000)));
        [&] { QTRY_COMPARE(state->status(), ScanStatus::inUse); }();
        return state;
    }

    // Confirms a kill from the alert and waits until /bin/kill has been asked.
    void confirm(InspectorState &state, const PortProcess &process, bool force) {
        const qsizetype before = runner->callCount();
        state.requestKill(process, force);
        state.confirmPendingKill();
        QVERIFY(!state.pendingKill());
        QTRY_COMPARE(runner->callCount(), before + 1);
    }

private slots:
    void init() {
        runner = std::make_unique<ScriptedRunner>();
        kernelListeners.clear();
    }
    // A watch still waiting belongs to a state that is gone: it resumes into nothing.
    void cleanup() {
        for (const auto &watch : std::as_const(watches))
            if (!watch->taken.future().isFinished())
                end(*watch, false);
        QTest::qWait(1);
        watches.clear();
    }

    // The first status, badge and texts are the window test's; here, what it cannot see.
    void startsIdleAndComplainsOfAnEmptyFieldOnlyAfterScan() {
        const auto state = makeState();
        QVERIFY(!state->validationMessage());
        QSignalSpy validation(state.get(), &InspectorState::validationChanged);
        state->startScan();
        QCOMPARE(validation.count(), 1); // the field shows it without being edited
        QCOMPARE(state->validationMessage(), u"Enter a TCP port number."_s);
        // The log keeps exactly the newest eight lines, newest first, in the model QML reads too.
        for (int line = 1; line <= 8; ++line)
            state->appendActivity(QString::number(line));
        QCOMPARE(messages(*state), QString(u"87654321"_s).split(u""_s, Qt::SkipEmptyParts));
        QCOMPARE(state->activityLog()->rowCount(), 8);
        QCOMPARE(state->activityLog()->index(7).data(ActivityLog::MessageRole), u"1"_s);
    }

    void validatesThePortText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<qint64>("port");
        const QString numeric = u"Port must be numeric."_s;
        const QString range = u"Port must be between 1 and 65535."_s;
        QTest::newRow("empty") << u""_s << u"Enter a TCP port number."_s << qint64(0);
        QTest::newRow("spaces only") << u" \n"_s << u"Enter a TCP port number."_s << qint64(0);
        for (const auto &[text, port] : {std::pair(u" 8080\n"_s, 8080), std::pair(u"00080"_s, 80),
                                         std::pair(u"1"_s, 1), std::pair(u"65535"_s, 65535)})
            QTest::newRow(qPrintable(text)) << text << QString() << qint64(port);
        QTest::newRow("zero") << u"0"_s << range << qint64(0);
        QTest::newRow("too high") << u"65536"_s << range << qint64(0);
        for (const QString &text : {u"+80"_s, u"-1"_s, u"8 0"_s, u"80a"_s, u"1.5"_s,
                                    QString(25, u'9'), u"\u0668\u0660"_s, u"\u216B"_s})
            QTest::newRow(qPrintable(text)) << text << numeric << qint64(0);
    }
    // Checked after a scan that listed a process: bad input clears the cards and logs nothing.
    void validatesThePortText() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(qint64, port);
        const auto state = stateWithListeners();
        const QStringList log = messages(*state);
        state->setPortText(text);
        QCOMPARE(state->validationMessage().value_or(QString()), message);
        QCOMPARE(state->validatedPort().value_or(0), port);
        if (message.isEmpty())
            return;
        state->startScan();
        QCOMPARE(state->status(), ScanStatus::error);
        QCOMPARE(state->statusMessage(), message);
        QVERIFY(state->processes().isEmpty());
        QCOMPARE(state->lastScannedPort(), 3000);
        QTest::qWait(20);
        QCOMPARE(messages(*state), log);
        QCOMPARE(runner->callCount(), 1);
    }

    void scanOutcomes_data() {
        QTest::addColumn<CommandResult>("lsof"); // exit code -1: lsof cannot be started
        QTest::addColumn<ScanStatus>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("another user's listener")
            << nothingListed << ScanStatus::inUse
            << u"User postgres listens on 127.0.0.1:5000 and [::1]:5000. Scan as Administrator to "
               "see the process."_s
            << u"Found a listener of user postgres"_s;
        QTest::newRow("free") << nothingListed << ScanStatus::available
                              << u"Port 5000 is available."_s << u"Port 5000 is available"_s;
        QTest::newRow("listeners")
            << CommandResult{heading + listenerLines(u"node"_s, 4242, 5000), {}, 0}
            << ScanStatus::inUse << u"Found node PID 4242 listening on port 5000."_s
            << u"Found node PID 4242"_s;
        QTest::newRow("lsof error")
            << lsofError << ScanStatus::error
            << u"Unable to scan the port. lsof: unknown TCP state name: BOGUS"_s
            << u"Scan failed on port 5000"_s;
        QTest::newRow("lsof missing") << CommandResult{{}, {}, -1} << ScanStatus::error
                                      << u"Could not launch "_s + PortScannerService::lsofPath +
                                             u". No such file or directory"_s
                                      << u"Scan failed on port 5000"_s;
    }
    void scanOutcomes() {
        QFETCH(CommandResult, lsof);
        QFETCH(ScanStatus, status);
        QFETCH(QString, message);
        QFETCH(QString, logLine);
        const bool hidden = logLine.contains(u"user"_s);
        if (hidden)
            kernelListeners = {{101, u"postgres"_s, u"127.0.0.1"_s},
                               {101, u"postgres"_s, u"[::1]"_s}};
        const auto state = makeState();
        state->setPortText(u" 5000\n"_s);
        state->startScan();
        QCOMPARE(state->status(), ScanStatus::idle); // the routine starts on a later turn
        QTRY_COMPARE(runner->callCount(), 1);
        QCOMPARE(state->statusMessage(), u"Scanning port 5000...");
        if (lsof.exitCode < 0)
            runner->failToLaunch(0, u"No such file or directory"_s);
        else
            runner->answer(0, lsof);
        QTRY_VERIFY(state->canScan());
        QCOMPARE(state->status(), status);
        QCOMPARE(state->statusMessage(), message);
        QCOMPARE(state->processes().size(), lsof.standardOutput.isEmpty() ? 0 : 1);
        QCOMPARE(bool(state->hiddenListener()), hidden);
        QCOMPARE(messages(*state),
                 (QStringList{logLine, u"Scanned port 5000"_s, u"Quaymeter initialized"_s}));
        // An edit resets only an error.
        state->portTextChanged();
        QCOMPARE(state->statusMessage(),
                 status == ScanStatus::error ? u"Ready to scan."_s : message);
    }

    // A kill refused for want of rights offers Scan as Administrator through pkexec; the cards it
    // lists are killed and re-checked the same way. Whatever stops pkexec or the helper, nothing
    // more runs, the cards stay, and so does the offer. The listed process is this test's own, so
    // the kill names its start time too. Without polkit actions that name this program's helper,
    // pkexec would run another helper, or one anybody may write: the route is neither offered nor
    // taken.
    void administratorOutcomes_data() {
        QTest::addColumn<bool>("kill");            // the row answers the kill, else the scan
        QTest::addColumn<CommandResult>("pkexec"); // exit code -1: pkexec cannot be started
        QTest::addColumn<QString>("message");
        const QString notAuthorized =
            u"You are not authorized to do this as administrator, so nothing ran."_s;
        QTest::newRow("scan") << false << found(u"node"_s, 4242, 3000)
                              << u"Found node PID 4242 listening on port 3000."_s;
        QTest::newRow("scan dismissed")
            << false
            << CommandResult{{},
                             u"Error executing command as another user: Request dismissed\n"_s,
                             126}
            << u"Authentication was dismissed, so nothing ran as administrator."_s;
        QTest::newRow("scan not authorized") << false << notAuthorizedRun << notAuthorized;
        QTest::newRow("no pkexec") << false << CommandResult{{}, {}, -1}
                                   << u"Running as administrator needs /usr/bin/pkexec, which "
                                      "could not be started: No such file or directory"_s;
        QTest::newRow("killed") << true << CommandResult{} << u"Port 3000 is available."_s;
        QTest::newRow("stale PID")
            << true << CommandResult{{}, u"quaymeter-helper: PID %pid is not running.\n"_s, 125}
            << u"Refused as administrator: PID %pid is not running."_s;
        QTest::newRow("kill not authorized") << true << notAuthorizedRun << notAuthorized;
        QTest::newRow("no policy") << false << CommandResult{} << QString();
    }
    void administratorOutcomes() {
        QFETCH(bool, kill);
        QFETCH(CommandResult, pkexec);
        QFETCH(QString, message);
        const QString pid = QString::number(QCoreApplication::applicationPid());
        for (QString *text : {&message, &pkexec.standardError})
            text->replace(u"%pid"_s, pid);
        const bool ran = pkexec.exitCode == 0;
        const bool policy = QTest::currentDataTag() != "no policy"_L1;
        const auto state = stateWithListeners(policy);
        confirm(*state, state->processes().first(), false);
        runner->answer(1, {{}, u"kill: (4242): Operation not permitted\n"_s, 1});
        QTRY_VERIFY(state->canScan() && state->administratorOffered() == policy);
        state->scanAsAdministrator();
        if (!policy) {
            QTest::qWait(20);
            QCOMPARE(runner->callCount(), 2);
            return;
        }
        QTRY_COMPARE(runner->callCount(), 3);
        QCOMPARE(runner->call(2).arguments,
                 (QStringList{u"--disable-internal-agent"_s, helper, u"list"_s, u"3000"_s}));
        const CommandResult answer = kill ? found(u"node"_s, pid.toInt(), 3000) : pkexec;
        if (answer.exitCode < 0)
            runner->failToLaunch(2, u"No such file or directory"_s);
        else
            runner->answer(2, answer);
        QTRY_VERIFY(state->canScan());
        if (kill) {
            confirm(*state, state->processes().first(), true);
            const qint64 started = ProcessIdentity::read(pid.toInt()).startTime;
            QCOMPARE(runner->call(3).arguments.mid(2),
                     QStringList({"signal", "KILL", pid, "3000", QString::number(started)}));
            runner->answer(3, pkexec);
            QTRY_COMPARE(runner->callCount(), ran ? 5 : 4);
            if (ran) // the re-check, as administrator too
                runner->answer(4, nothingListed);
            QTRY_VERIFY(!state->activeKillPID());
        }
        QTest::qWait(20);
        QCOMPARE(runner->callCount(), kill ? (ran ? 5 : 4) : 3);
        QCOMPARE(state->statusMessage(), message);
        const QStringList log = messages(*state);
        QCOMPARE(log.first() == (kill ? u"Kill failed for PID "_s + pid + u" as administrator"_s
                                      : u"Scan as administrator failed on port 3000"_s),
                 !ran);
        QCOMPARE(log.contains(u"Killed PID "_s + pid + u" as administrator"_s), kill && ran);
        QCOMPARE(state->processes().size(), kill ? !ran : 2 - ran); // failed: the cards stay
        QCOMPARE(state->administratorOffered(), !kill && !ran);
    }

    // Each overlapping scan writes its own outcome when it ends: the last to finish wins. Only the
    // window's end stops their tools, by either route.
    void overlappingScansEndWithTheLastToFinish() {
        auto state = stateWithListeners();
        QCOMPARE(state->processes().size(), 2);
        scan(*state, u"3000"_s);
        QVERIFY(state->processes().isEmpty()); // emptied the moment a scan begins
        scan(*state, u"4000"_s);
        QCOMPARE(state->lastScannedPort(), 4000);
        runner->answer(2, found(u"redis"_s, 10, 4000));
        QTRY_COMPARE(state->status(), ScanStatus::inUse);
        runner->answer(1, nothingListed);
        QTRY_COMPARE(state->status(), ScanStatus::available);
        QCOMPARE(state->statusMessage(), u"Port 3000 is available.");
        QCOMPARE(state->lastScannedPort(), 4000);
        state->scanAsAdministrator();
        QTRY_COMPARE(runner->callCount(), 4);
        scan(*state, u"3000"_s);
        QVERIFY(!runner->call(1).stop.stop_requested() && !runner->call(3).stop.stop_requested());
        state.reset();
        QVERIFY(runner->call(3).stop.stop_requested() && runner->call(4).stop.stop_requested());
        for (const qsizetype call : {3, 4}) // answers that now go nowhere
            runner->answer(call, nothingListed);
        QTest::qWait(20);
    }

    // Kill, then the re-check; a kill that fails (here /bin/kill missing) keeps the cards and
    // re-checks nothing.
    void killThenRecheck_data() {
        QTest::addColumn<bool>("force");
        QTest::addColumn<CommandResult>("recheck");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("log"); // newest first, down to the request
        QTest::newRow("force kill, one left")
            << true << found(u"python3"_s, 77, 3000)
            << u"Found python3 PID 77 listening on port 3000."_s
            << u"Found python3 PID 77|Scanned port 3000|Killed PID 4242|"
               "Force kill requested for PID 4242"_s;
        QTest::newRow("kill, re-check fails")
            << false << lsofError
            << u"Unable to scan the port. lsof: unknown TCP state name: BOGUS"_s
            << u"Scan failed on port 3000|Scanned port 3000|Killed PID 4242|"
               "Kill requested for PID 4242"_s;
        QTest::newRow("kill fails")
            << false << CommandResult{}
            << u"Could not launch /bin/kill. No such file or directory"_s
            << u"Kill failed for PID 4242|Kill requested for PID 4242|Found node PID 4242|"
               "Scanned port 3000"_s;
    }
    void killThenRecheck() {
        QFETCH(bool, force);
        QFETCH(CommandResult, recheck);
        QFETCH(QString, message);
        QFETCH(QString, log);
        const auto state = stateWithListeners();
        state->requestKill(state->processes().first(), force);
        state->confirmPendingKill();
        // The kill starts on a later turn of the event loop.
        QVERIFY(!state->activeKillPID());
        QCOMPARE(messages(*state).first(), u"Found node PID 4242");
        QTRY_COMPARE(runner->callCount(), 2);
        QCOMPARE(runner->call(1).arguments.join(u' '), force ? u"-9 4242"_s : u"4242"_s);
        QCOMPARE(state->activeKillPID(), 4242);
        QVERIFY(!state->canScan());
        QCOMPARE(state->status(), ScanStatus::inUse);
        QStringList seen;
        if (recheck == CommandResult{}) {
            runner->failToLaunch(1, u"No such file or directory"_s);
            QTest::qWait(20);
            QCOMPARE(runner->callCount(), 2);
            QCOMPARE(state->processes().size(), 2);
        } else {
            connect(state.get(), &InspectorState::statusMessageChanged,
                    [&] { seen << state->statusMessage(); });
            runner->answer(1, killed);
            QTRY_COMPARE(runner->callCount(), 3);
            QCOMPARE(seen, (QStringList{u"Killed node PID 4242. Re-checking port 3000..."_s,
                                        u"Scanning port 3000..."_s}));
            // The re-check runs while the kill is still marked active, and ends it however it ends.
            QCOMPARE(state->activeKillPID(), 4242);
            QVERIFY(!state->canScan());
            QVERIFY(state->processes().isEmpty());
            runner->answer(2, recheck);
        }
        QTRY_VERIFY(!state->activeKillPID());
        QCOMPARE(state->statusMessage(), message);
        QVERIFY(state->canScan());
        QCOMPARE(messages(*state).mid(0, 4).join(u'|'), log);
    }

    // Only what the window lists now, on the port it scanned last, is ever signalled: not a PID it
    // never listed, nor a listener gone while the alert was open, nor a card of another port's.
    // Scripted tools alone: nothing here can reach this machine's own PID 1.
    void killOfAnUnlistedProcessIsRefused() {
        const auto state = stateWithListeners();
        PortProcess node = state->processes().first();
        const auto refused = [&](pid_t pid) {
            QVERIFY(!state->pendingKill() && !state->activeKillPID());
            QCOMPARE(messages(*state).first(),
                     u"PID %1 is not listed on port 3000, so no signal was sent."_s.arg(pid));
        };
        state->requestKill(PortProcess{node.commandName, 999, node.user, {}, {}, 3000}, true);
        refused(999);
        state->requestKill(node, false);
        for (const qint64 port : {3000, 4000}) {
            scan(*state, QString::number(port));
            // Then node's PID is listed again, but on another port.
            runner->answer(runner->callCount() - 1, port == 3000 ? found(u"python3"_s, 77, port)
                                                                 : found(u"node"_s, 4242, port));
            QTRY_COMPARE(state->status(), ScanStatus::inUse);
            if (state->pendingKill())
                state->confirmPendingKill();
            else
                state->requestKill(node, true);
            refused(4242);
        }
        // Nor the init process, by any route: a signal frees no port of its.
        const PortProcess init{u"systemd"_s, 1, u"root"_s, {}, {}, 3000};
        state->requestKill(init, false);
        state->confirmKill({QUuid::createUuid(), init, true});
        state->performKill({QUuid::createUuid(), init, false});
        QCOMPARE(messages(*state).mid(0, 3),
                 QStringList(3, u"No signal was sent to PID 1: the service manager would start "
                                "over on TERM and ignore KILL, so neither frees port 3000. "
                                "Stopping the socket unit that listens on it would."_s));
        QCOMPARE(state->statusMessage(), messages(*state).first());
        QTest::qWait(20);
        QCOMPARE(runner->callCount(), 3); // the scans alone: /bin/kill never ran
    }

    // Another card's kill may start while one is in flight; the first to end clears the mark.
    void twoKillsOnTwoCardsAtOnce() {
        const auto state = stateWithListeners();
        confirm(*state, state->processes().at(0), false);
        confirm(*state, state->processes().at(1), true);
        // A second kill of a PID whose kill is in flight is refused by either route.
        state->requestKill(state->processes().at(0), true);
        QVERIFY(!state->pendingKill());
        state->confirmKill({QUuid::createUuid(), state->processes().at(0), true});
        QCOMPARE(runner->call(1).arguments, QStringList{u"4242"_s});
        QCOMPARE(runner->call(2).arguments, (QStringList{u"-9"_s, u"77"_s}));
        QCOMPARE(state->activeKillPID(), 77);
        runner->answer(1, killed);
        QTRY_COMPARE(runner->callCount(), 4);
        runner->answer(3, found(u"python3"_s, 77, 3000));
        QTRY_VERIFY(!state->activeKillPID());
        runner->answer(2, killed);
        QTRY_COMPARE(runner->callCount(), 5);
        runner->answer(4, nothingListed);
        QTRY_COMPARE(state->status(), ScanStatus::available);
        QCOMPARE(
            messages(*state).mid(0, 6),
            (QStringList{u"Port 3000 is available"_s, u"Scanned port 3000"_s, u"Killed PID 77"_s,
                         u"Found python3 PID 77"_s, u"Scanned port 3000"_s, u"Killed PID 4242"_s}));
    }

    // After the re-check found the port free, the kernel's tables are watched. A listener that
    // comes is scanned and named; a scan the user starts, or the window's end, stops the watch.
    void watchOfAFreedPort_data() {
        QTest::addColumn<int>("ending");
        QTest::addColumn<QString>("log"); // newest first, down to "Killed PID 4242"
        const QString freed = u"Port 3000 is available|Scanned port 3000"_s;
        QTest::newRow("taken again") << int(takenAgain)
                                     << u"Port 3000 was taken again by PID 4194304.|"
                                        "Found python3 PID 4194304|Scanned port 3000|"_s +
                                            freed;
        QTest::newRow("stays free") << int(staysFree) << freed;
        QTest::newRow("user scans meanwhile")
            << int(scannedMeanwhile) << u"Found redis PID 10|Scanned port 4000|"_s + freed;
        QTest::newRow("user scans as administrator meanwhile")
            << int(scannedAsAdministrator)
            << u"Found redis PID 10|Scanned port 3000 as administrator|"_s + freed;
        QTest::newRow("window closed") << int(windowClosed) << QString();
    }
    void watchOfAFreedPort() {
        QFETCH(int, ending);
        QFETCH(QString, log);
        auto state = stateWithListeners();
        confirm(*state, state->processes().first(), true);
        runner->answer(1, killed);
        QTRY_COMPARE(runner->callCount(), 3);
        runner->answer(2, nothingListed);
        QTRY_COMPARE(watches.size(), 1);
        // "available" is shown at once, and the kill has ended; only the watch goes on.
        QCOMPARE(state->statusMessage(), u"Port 3000 is available."_s);
        QVERIFY(!state->activeKillPID() && state->canScan());
        if (ending == scannedMeanwhile)
            scan(*state, u"4000"_s);
        if (ending == scannedAsAdministrator)
            state->scanAsAdministrator();
        const bool meanwhile = ending == scannedMeanwhile || ending == scannedAsAdministrator;
        QTRY_COMPARE(runner->callCount(), meanwhile ? 4 : 3);
        if (ending == windowClosed)
            state.reset();
        QCOMPARE(watches[0]->stop.stop_requested(), ending >= scannedMeanwhile);
        end(*watches[0], ending != staysFree); // as if the listener came just then
        if (ending == takenAgain) {
            QTRY_COMPARE(runner->callCount(), 4);
            runner->answer(3, found(u"python3"_s, 4194304, 3000)); // above any pid_max: no /proc
        } else if (meanwhile) {
            runner->answer(3, found(u"redis"_s, 10, ending == scannedMeanwhile ? 4000 : 3000));
        }
        QTest::qWait(20);
        QCOMPARE(runner->callCount(), ending == takenAgain || meanwhile ? 4 : 3);
        if (!state)
            return;
        QTRY_COMPARE(messages(*state).mid(0, messages(*state).indexOf(u"Killed PID 4242"_s)),
                     log.split(u'|'));
        QCOMPARE(watches.size(), 1);
    }

    // Real servers killed through the real services, then the re-scan and the watch. The log since
    // "Killed PID %1", newest first and at most 3 lines: %2 is the port, %3 the PID listed first.
    void realKillThenRescan_data() {
        QTest::addColumn<int>("reaction");
        QTest::addColumn<QString>("lines");
        const QString freed = u"Port %2 is available|Scanned port %2"_s;
        QTest::newRow("ignores TERM") << int(ignores)
                                      << u"PID %1 is still running after TERM. Force Kill sends "
                                         "KILL.|Found listener1 PID %1|Scanned port %2"_s;
        QTest::newRow("exits after a second") << int(exitsAfterASecond) << freed;
        QTest::newRow("frees the port for good") << int(exitsAtOnce) << freed;
        QTest::newRow("beside a sibling")
            << int(besideASibling) << u"Found listener2 PID %3|Scanned port %2"_s;
        QTest::newRow("hands over") << int(handsOver)
                                    << u"PID %1 was replaced by PID %3|Found listener2 PID %3|"
                                       "Scanned port %2"_s;
        // Still listed after the wait, then gone: the window looks again without being asked.
        QTest::newRow("exits long after TERM")
            << int(exitsLongAfterTerm)
            << u"Port %2 is available|Scanned port %2|PID %1 exited after TERM"_s;
        // Back after the re-scan found the port free, or before it looked if lsof was slow.
        QTest::newRow("restarted by a supervisor")
            << int(supervised)
            << u"PID %1 was replaced by PID %3|Found python3 PID %3|Scanned port %2"_s;
    }
    void realKillThenRescan() {
        QFETCH(int, reaction);
        QFETCH(QString, lines);
        // One of several workers: the others are no successors.
        const bool ownServer = reaction == supervised || reaction == exitsLongAfterTerm;
        ListenerGroup listeners(ownServer ? 0 : reaction == besideASibling ? 2 : 1);
        std::optional<PythonServer> server;
        const quint16 port = ownServer ? ListenerGroup(1).port() : listeners.port();
        if (ownServer) {
            server.emplace(port, reaction == supervised);
            QTRY_VERIFY_WITH_TIMEOUT(listening(port), 20000);
        }
        InspectorState state;
        state.setPortText(QString::number(port));
        state.startScan();
        QTRY_COMPARE_WITH_TIMEOUT(state.status(), ScanStatus::inUse, 20000);
        const pid_t first = state.processes().constFirst().pid;
        QSignalSpy changes(&state, &InspectorState::activeKillPIDChanged);
        state.requestKill(state.processes().constFirst(), false);
        state.confirmPendingKill();
        // A graceful server goes about a second after SIGTERM; a restarted one is back at once.
        if (reaction == handsOver)
            QVERIFY(listeners.add());
        if (reaction != ignores && !ownServer)
            QTimer::singleShot(reaction == exitsAtOnce ? 0 : 1000,
                               [first] { ::kill(first, SIGKILL); });
        QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 2, 20000); // set, then cleared after the re-scan
        const auto since = [&] {
            const QStringList log = messages(state);
            return log.mid(0, log.indexOf(u"Killed PID "_s + QString::number(first))).mid(0, 3);
        };
        const auto expected = [&] {
            return QString(lines)
                .replace(u"%1"_s, QString::number(first))
                .replace(u"%2"_s, QString::number(port))
                .replace(u"%3"_s, QString::number(state.processes().value(0).pid))
                .split(u'|');
        };
        QTRY_COMPARE_WITH_TIMEOUT(since(), expected(), 30000);
        QCOMPARE(state.survivedTermPID(), reaction == ignores ? first : 0);
        if (state.status() == ScanStatus::available) { // and stays so, past the watch
            QTest::qWait(int(InspectorState::portWatchSpan.count()));
            QCOMPARE(since(), expected());
        }
    }

    // A port lsof finds free, whose container Docker still publishes: the free port is shown
    // first, then the container; Stop Container runs Docker's own stop, then the port is checked
    // and watched as after a kill.
    void aContainerStillPublishingAFreePort() {
        const auto state = makeState(true, {docker});
        scan(*state, u"18080"_s);
        runner->answer(0, nothingListed);
        QTRY_COMPARE(runner->callCount(), 2);
        QCOMPARE(state->statusMessage(), u"Port 18080 is available."_s);
        runner->answer(1, capturedRun(u"docker/ps-all-json.stdout"_s));
        const QString heldBy =
            u"Port 18080 is held by Docker container qm-web (455bf5a2d39c), image qm-busybox."_s;
        QTRY_COMPARE(state->status(), ScanStatus::inUse);
        QCOMPARE(state->statusMessage(), heldBy);
        QCOMPARE(messages(*state).value(0),
                 u"Port 18080 is published by Docker container qm-web"_s);

        state->requestStopContainer();
        QCOMPARE(state->pendingContainerStopAlert().message,
                 u"Quaymeter will run docker stop 455bf5a2d39c to stop container qm-web, which "
                 "holds port 18080."_s);
        state->confirmPendingContainerStop();
        QVERIFY(!state->hasPendingContainerStop());
        QTRY_COMPARE(runner->callCount(), 3);
        QVERIFY(!state->canScan());
        runner->answer(2, capturedRun(u"docker/stop.stdout"_s));
        QTRY_COMPARE(runner->callCount(), 4);
        QCOMPARE(messages(*state).mid(0, 3),
                 (QStringList{u"Scanned port 18080"_s, u"Stopped container qm-web"_s,
                              u"Stop requested for container qm-web"_s}));
        QVERIFY(!state->hasPortContainer());
        runner->answer(3, nothingListed);
        QTRY_COMPARE(runner->callCount(), 5);
        runner->answer(4, {{}, {}, 0});
        QTRY_COMPARE(watches.size(), 1);
        QCOMPARE(state->status(), ScanStatus::available);

        // A rootful runtime's proxy is another user's listener: the runtime names what holds it.
        kernelListeners = {{0, u"root"_s, u"127.0.0.1"_s}};
        scan(*state, u"18080"_s);
        runner->answer(5, nothingListed);
        QTRY_COMPARE(runner->callCount(), 7);
        runner->answer(6, capturedRun(u"docker/ps-all-json.stdout"_s));
        QTRY_COMPARE(state->statusMessage(), heldBy);

        // An answer for an earlier scan is dropped, and a stop refused for want of rights offers
        // the command to run as one who may.
        scan(*state, u"18080"_s);
        runner->answer(7, nothingListed);
        QTRY_COMPARE(runner->callCount(), 9);
        scan(*state, u"18080"_s);
        runner->answer(8, capturedRun(u"docker/ps-all-json.stdout"_s));
        QTest::qWait(20);
        QCOMPARE(state->status(), ScanStatus::scanning);
        QVERIFY(!state->hasPortContainer());
        runner->answer(9, nothingListed);
        QTRY_COMPARE(runner->callCount(), 11);
        runner->answer(10, capturedRun(u"docker/ps-all-json.stdout"_s));
        QTRY_VERIFY(state->hasPortContainer());

        state->requestStopContainer();
        state->confirmPendingContainerStop();
        QTRY_COMPARE(runner->callCount(), 12);
        runner->answer(11, capturedRun(u"docker/stop-nopermission.stderr"_s, 1));
        QTRY_COMPARE(state->status(), ScanStatus::error);
        QVERIFY(state->statusMessage().startsWith(
            u"Docker could not stop container qm-web: permission denied while trying"_s));
        QCOMPARE(state->containerStopCommandOffered(), u"docker stop 455bf5a2d39c"_s);
        QCOMPARE(messages(*state).value(0), u"Stop failed for container qm-web"_s);
        QVERIFY(state->canScan());
    }

    // Kill and Force Kill of plumbing say what follows, in the runtime's own words (the named
    // container's and the daemon's alerts are the end-to-end tests'): unnamed, the holder's
    // runtime.
    void killOfPlumbingWarns() {
        const PublishedContainer web{u"Docker"_s, u"455bf5a2d39c"_s, u"qm-web"_s, {}, {}, {}};
        for (const auto &[holder, container, warning] :
             {std::tuple(u"podman/proc-holder-conmon"_s, false,
                         u"It holds port 18080 for a container: the container keeps running and "
                         "Podman keeps the port."_s),
              std::tuple(QString(), true, QString())}) {
            PortProcess process;
            process.port = 18080;
            process.identity = holder.isEmpty() ? ProcessIdentity() : capturedIdentity(holder);
            QCOMPARE(
                ContainerFlow::killWarning(process, container ? std::optional(web) : std::nullopt),
                warning);
        }
    }
};

QTEST_GUILESS_MAIN(InspectorFlowsTest)
#include "tst_inspectorFlows.moc"
