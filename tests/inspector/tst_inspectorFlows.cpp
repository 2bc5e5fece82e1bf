#include "inspectorState.h"
#include "scriptedRunner.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Lines as lsof prints them on Linux for a listener on 127.0.0.1 and ::1.
const QString heading = QStringLiteral("COMMAND  PID USER   FD   TYPE DEVICE SIZE/OFF NODE NAME\n");
QString listenerLines(const QString &command, int pid, qint64 port) {
    const QString p = QString::number(port);
    return QStringLiteral("%1 %2 dev    3u  IPv4  12091      0t0  TCP 127.0.0.1:%3 (LISTEN)\n"
                          "%1 %2 dev    4u  IPv6  12092      0t0  TCP [::1]:%3 (LISTEN)\n")
        .arg(command)
        .arg(pid)
        .arg(p);
}

CommandResult found(const QString &command, int pid, qint64 port) {
    return {heading + listenerLines(command, pid, port), {}, 0};
}
const CommandResult nothingListed{{}, {}, 1};
const CommandResult killed{{}, {}, 0};
const CommandResult noSuchProcess{{}, QStringLiteral("kill: (4242): No such process\n"), 1};

QStringList messages(const InspectorState &state) {
    QStringList lines;
    for (const ActivityEntry &entry : state.activityEntries()) {
        lines << entry.message;
    }
    return lines;
}

} // namespace

Q_DECLARE_METATYPE(CommandResult)

class InspectorFlowsTest : public QObject {
    Q_OBJECT

    ScriptedRunner *runner = nullptr;
    bool hiddenListener = false;

    std::unique_ptr<InspectorState> makeState() {
        auto probe = [this](qint64) -> QCoro::Task<bool> { co_return hiddenListener; };
        return std::make_unique<InspectorState>(PortScannerService(runner->command(), probe),
                                                ProcessKillerService(runner->command()));
    }

    // Types the port, presses Scan and waits until lsof has been asked.
    void scan(InspectorState &state, const QString &port) {
        const qsizetype before = runner->callCount();
        state.setPortText(port);
        state.startScan();
        QTRY_COMPARE(runner->callCount(), before + 1);
    }

private slots:
    void init() {
        runner = new ScriptedRunner;
        hiddenListener = false;
    }
    void cleanup() { delete runner; }

    void startsIdleWithOneLogLine() {
        const auto state = makeState();
        QCOMPARE(state->status(), ScanStatus::idle);
        QCOMPARE(state->statusMessage(), u"Enter a port to inspect what is listening.");
        QVERIFY(state->processes().isEmpty());
        QVERIFY(!state->validationMessage());
        QCOMPARE(messages(*state), QStringList{u"Quaymeter initialized"_qs});
        QVERIFY(state->canScan());
        QVERIFY(!state->lastScannedPort());
        QCOMPARE(activityTimeFormatter().string(QDateTime(QDate(2026, 1, 2), QTime(7, 5, 9))),
                 u"07:05:09");
    }

    void validatesThePortText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<qint64>("port");
        const QString numeric = QStringLiteral("Port must be numeric.");
        const QString range = QStringLiteral("Port must be between 1 and 65535.");
        QTest::newRow("empty") << ""
                               << "Enter a TCP port number." << qint64(0);
        QTest::newRow("spaces only") << " \n"
                                     << "Enter a TCP port number." << qint64(0);
        QTest::newRow("padded") << " 8080\n"
                                << "" << qint64(8080);
        QTest::newRow("leading zeros") << "00080"
                                       << "" << qint64(80);
        QTest::newRow("lowest") << "1"
                                << "" << qint64(1);
        QTest::newRow("highest") << "65535"
                                 << "" << qint64(65535);
        QTest::newRow("zero") << "0" << range << qint64(0);
        QTest::newRow("too high") << "65536" << range << qint64(0);
        QTest::newRow("plus") << "+80" << numeric << qint64(0);
        QTest::newRow("minus") << "-1" << numeric << qint64(0);
        QTest::newRow("inner space") << "8 0" << numeric << qint64(0);
        QTest::newRow("letter") << "80a" << numeric << qint64(0);
        QTest::newRow("decimal") << "1.5" << numeric << qint64(0);
        QTest::newRow("beyond 64 bits") << QString(25, u'9') << numeric << qint64(0);
        QTest::newRow("arabic-indic digits") << u"\u0668\u0660"_qs << numeric << qint64(0);
        QTest::newRow("roman numeral") << u"\u216B"_qs << numeric << qint64(0);
    }
    void validatesThePortText() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(qint64, port);
        const auto state = makeState();
        state->setPortText(text);
        state->startScan();
        QCOMPARE(state->validationMessage().value_or(QString()), message);
        QCOMPARE(state->validatedPort().value_or(0), port);
        if (!message.isEmpty()) {
            QCOMPARE(state->status(), ScanStatus::error);
            QCOMPARE(state->statusMessage(), message);
            QCOMPARE(messages(*state).size(), 1);
            QCOMPARE(runner->callCount(), 0);
        }
    }

    void emptyFieldComplainsOnlyAfterAScan() {
        const auto state = makeState();
        QVERIFY(!state->validationMessage());
        state->startScan();
        QCOMPARE(state->validationMessage(), u"Enter a TCP port number."_qs);
        state->setPortText(QStringLiteral("80"));
        state->setPortText(QString());
        QCOMPARE(state->validationMessage(), u"Enter a TCP port number."_qs);
    }

    void scanOfAFreePort() {
        const auto state = makeState();
        scan(*state, QStringLiteral(" 5000\n"));
        QCOMPARE(runner->call(0).executablePath, PortScannerService::lsofPath);
        QCOMPARE(runner->call(0).arguments, (QStringList{"-nP", "-iTCP:5000", "-sTCP:LISTEN"}));
        QCOMPARE(state->status(), ScanStatus::scanning);
        QCOMPARE(state->statusMessage(), u"Scanning port 5000...");
        QCOMPARE(state->lastScannedPort(), 5000);
        QVERIFY(!state->canScan());

        runner->answer(0, nothingListed);
        QTRY_COMPARE(state->status(), ScanStatus::available);
        QCOMPARE(state->statusMessage(), u"Port 5000 is available.");
        QVERIFY(state->processes().isEmpty());
        QVERIFY(state->canScan());
        QCOMPARE(messages(*state), (QStringList{"Port 5000 is available", "Scanned port 5000",
                                                "Quaymeter initialized"}));
    }

    void scanThatFindsListeners() {
        const auto state = makeState();
        state->setPortText(QStringLiteral("3000"));
        scan(*state, QStringLiteral("3000"));
        runner->answer(
            0, {heading + listenerLines("node", 4242, 3000) + listenerLines("python3", 77, 3000),
                {},
                0});
        QTRY_COMPARE(state->status(), ScanStatus::inUse);
        QCOMPARE(state->statusMessage(), u"Found node PID 4242 listening on port 3000.");
        QCOMPARE(state->processes().size(), 2);
        QCOMPARE(state->processes().at(0).pid, 4242);
        QCOMPARE(state->processes().at(1).commandName, u"python3");
        QCOMPARE(messages(*state).first(), u"Found node PID 4242");
    }

    void failedScans_data() {
        QTest::addColumn<bool>("launchFails");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<QString>("message");
        QTest::newRow("lsof missing")
            << true << false
            << "Could not launch " + PortScannerService::lsofPath + ". No such file or directory";
        QTest::newRow("lsof error")
            << false << false << "Unable to scan the port. lsof: unknown TCP state name: BOGUS";
        QTest::newRow("listener lsof cannot see")
            << false << true
            << "Unable to scan the port. A process that you are not allowed to inspect is "
               "listening on port 5432.";
    }
    void failedScans() {
        QFETCH(bool, launchFails);
        QFETCH(bool, hidden);
        QFETCH(QString, message);
        hiddenListener = hidden;
        const auto state = makeState();
        scan(*state, QStringLiteral("5432"));
        if (launchFails) {
            runner->failToLaunch(0, QStringLiteral("No such file or directory"));
        } else if (hidden) {
            runner->answer(0, nothingListed);
        } else {
            runner->answer(0, {{}, "lsof: unknown TCP state name: BOGUS\n", 1});
        }
        QTRY_COMPARE(state->status(), ScanStatus::error);
        QCOMPARE(state->statusMessage(), message);
        QVERIFY(state->processes().isEmpty());
        QCOMPARE(state->lastScannedPort(), 5432);
        QCOMPARE(messages(*state).first(), u"Scan failed on port 5432");

        // An edit leaves the error; a further edit changes nothing more.
        state->portTextChanged();
        QCOMPARE(state->status(), ScanStatus::idle);
        QCOMPARE(state->statusMessage(), u"Ready to scan.");
        QCOMPARE(messages(*state).first(), u"Scan failed on port 5432");
    }

    void editingOutsideAnErrorChangesNothing() {
        const auto state = makeState();
        scan(*state, QStringLiteral("5000"));
        runner->answer(0, nothingListed);
        QTRY_COMPARE(state->status(), ScanStatus::available);
        state->setPortText(QStringLiteral("50001"));
        state->portTextChanged();
        QCOMPARE(state->status(), ScanStatus::available);
        QCOMPARE(state->statusMessage(), u"Port 5000 is available.");
    }

    // Each overlapping scan writes its own outcome when it ends: the last to finish wins.
    void overlappingScansEndWithTheLastToFinish() {
        const auto state = makeState();
        scan(*state, QStringLiteral("3000"));
        scan(*state, QStringLiteral("4000"));
        QCOMPARE(state->lastScannedPort(), 4000);
        runner->answer(1, found("redis", 10, 4000));
        QTRY_COMPARE(state->status(), ScanStatus::inUse);
        runner->answer(0, nothingListed);
        QTRY_COMPARE(state->status(), ScanStatus::available);
        QCOMPARE(state->statusMessage(), u"Port 3000 is available.");
        QCOMPARE(state->lastScannedPort(), 4000);
        QVERIFY(state->processes().isEmpty());
    }

    void theLogKeepsTheNewestEight() {
        const auto state = makeState();
        for (int i = 1; i <= 9; ++i) {
            state->appendActivity(QString::number(i));
        }
        QCOMPARE(messages(*state), (QStringList{"9", "8", "7", "6", "5", "4", "3", "2"}));
        const auto &entries = state->activityEntries();
        QVERIFY(entries.at(0).id != entries.at(1).id);
        QVERIFY(entries.at(0).date >= entries.at(7).date);
    }

    void killConfirmationTexts() {
        const PortProcess node{"node", 4242, "dev", "", "", 3000};
        const auto kill = InspectorState::killConfirmationAlert({QUuid::createUuid(), node, false});
        QCOMPARE(kill.title, u"Kill process?");
        QCOMPARE(kill.message, u"Quaymeter will send kill to node PID 4242 on port 3000.");
        QCOMPARE(kill.destructiveLabel, u"Kill Process");
        const auto force = InspectorState::killConfirmationAlert({QUuid::createUuid(), node, true});
        QCOMPARE(force.title, u"Force kill process?");
        QCOMPARE(force.message, u"Quaymeter will send kill -9 to node PID 4242 on port 3000.");
        QCOMPARE(force.destructiveLabel, u"Force Kill");
    }

    void cancelLeavesEverythingAsItWas() {
        const auto state = makeState();
        const PortProcess node{"node", 4242, "dev", "", "", 3000};
        state->requestKill(node, false);
        const QUuid first = state->pendingKill()->id;
        state->requestKill(node, false);
        QVERIFY(state->pendingKill()->id != first);
        state->dismissPendingKill();
        QVERIFY(!state->pendingKill());
        QTest::qWait(20);
        QCOMPARE(runner->callCount(), 0);
        QCOMPARE(state->status(), ScanStatus::idle);
        QCOMPARE(messages(*state).size(), 1);
    }

    void successfulKillRechecksThePort() {
        const auto state = makeState();
        scan(*state, QStringLiteral("3000"));
        runner->answer(0, found("node", 4242, 3000));
        QTRY_COMPARE(state->status(), ScanStatus::inUse);

        state->requestKill(state->processes().first(), true);
        QVERIFY(state->pendingKill()->force);
        state->confirmPendingKill();
        QVERIFY(!state->pendingKill());
        QTRY_COMPARE(runner->callCount(), 2);
        QCOMPARE(runner->call(1).executablePath, ProcessKillerService::killPath);
        QCOMPARE(runner->call(1).arguments, (QStringList{"-9", "4242"}));
        QCOMPARE(state->activeKillPID(), 4242);
        QVERIFY(!state->canScan());
        QCOMPARE(state->status(), ScanStatus::inUse);
        QCOMPARE(messages(*state).first(), u"Force kill requested for PID 4242");

        runner->answer(1, killed);
        QTRY_COMPARE(runner->callCount(), 3);
        // The re-check runs while the kill is still marked active.
        QCOMPARE(state->status(), ScanStatus::scanning);
        QCOMPARE(state->activeKillPID(), 4242);
        QVERIFY(!state->canScan());
        QVERIFY(state->processes().isEmpty());
        QSignalSpy messagesSeen(state.get(), &InspectorState::statusMessageChanged);

        runner->answer(2, nothingListed);
        QTRY_VERIFY(!state->activeKillPID());
        QCOMPARE(state->status(), ScanStatus::available);
        QCOMPARE(state->statusMessage(), u"Port 3000 is available.");
        QVERIFY(state->canScan());
        QCOMPARE(messages(*state).mid(0, 5),
                 (QStringList{"Port 3000 is available", "Scanned port 3000", "Killed PID 4242",
                              "Force kill requested for PID 4242", "Found node PID 4242"}));
    }

    void killStatusMessageBeforeTheRecheck() {
        const auto state = makeState();
        state->confirmKill({QUuid::createUuid(), {"node", 4242, "dev", "", "", 3000}, false});
        QTRY_COMPARE(runner->callCount(), 1);
        QCOMPARE(runner->call(0).arguments, QStringList{u"4242"_qs});
        QStringList seen;
        connect(state.get(), &InspectorState::statusMessageChanged,
                [&] { seen << state->statusMessage(); });
        runner->answer(0, killed);
        QTRY_COMPARE(runner->callCount(), 2);
        QCOMPARE(seen, (QStringList{"Killed node PID 4242. Re-checking port 3000...",
                                    "Scanning port 3000..."}));
        runner->answer(1, nothingListed);
        QTRY_VERIFY(!state->activeKillPID());
    }

    void failedKills_data() {
        QTest::addColumn<bool>("launchFails");
        QTest::addColumn<CommandResult>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("gone") << false << noSuchProcess << "PID 4242 is no longer running.";
        QTest::newRow("refused")
            << false << CommandResult{{}, "kill: (4242): Operation not permitted\n", 1}
            << "Permission denied while killing PID 4242. That process may require admin "
               "privileges or belong to another protected service.";
        QTest::newRow("silent failure") << false << CommandResult{{}, "  \n", 2}
                                        << "Could not kill PID 4242. kill exited with status 2.";
        QTest::newRow("kill missing")
            << true << CommandResult{} << "Could not launch /bin/kill. No such file or directory";
    }
    void failedKills() {
        QFETCH(bool, launchFails);
        QFETCH(CommandResult, result);
        QFETCH(QString, message);
        const auto state = makeState();
        scan(*state, QStringLiteral("3000"));
        runner->answer(0, found("node", 4242, 3000));
        QTRY_COMPARE(state->status(), ScanStatus::inUse);
        const QList<PortProcess> listed = state->processes();

        state->requestKill(listed.first(), false);
        state->confirmPendingKill();
        QTRY_COMPARE(runner->callCount(), 2);
        if (launchFails) {
            runner->failToLaunch(1, QStringLiteral("No such file or directory"));
        } else {
            runner->answer(1, result);
        }
        QTRY_VERIFY(!state->activeKillPID());
        QCOMPARE(state->status(), ScanStatus::error);
        QCOMPARE(state->statusMessage(), message);
        QCOMPARE(messages(*state).mid(0, 2),
                 (QStringList{"Kill failed for PID 4242", "Kill requested for PID 4242"}));
        QTest::qWait(20);
        QCOMPARE(runner->callCount(), 2);
        QCOMPARE(state->processes(), listed);
        QCOMPARE(state->lastScannedPort(), 3000);
    }

    // The window may close while a tool runs; its answer must then touch nothing.
    void closingTheWindowMidFlow() {
        auto scanning = makeState();
        scan(*scanning, QStringLiteral("3000"));
        auto killing = makeState();
        killing->confirmKill({QUuid::createUuid(), {"node", 4242, "dev", "", "", 3000}, false});
        QTRY_COMPARE(runner->callCount(), 2);
        scanning.reset();
        killing.reset();
        runner->answer(0, found("node", 4242, 3000));
        runner->answer(1, killed);
        QTest::qWait(50);
        QCOMPARE(runner->callCount(), 2);
    }
};

QTEST_GUILESS_MAIN(InspectorFlowsTest)
#include "tst_inspectorFlows.moc"
