#include "inspectorState.h"
#include "listenerGroup.h"

#include <QtTest>

using namespace Qt::StringLiterals;

enum Reaction { ignores, exitsAfterASecond, handsOver, besideASibling };

// Real listeners that ignore SIGTERM, killed from a real window state, then seen by the re-scan.
class TestSeeItGone : public QObject {
    Q_OBJECT

private slots:
    // The log after "Killed PID %1": %2 is the port, %3 the PID the re-scan found.
    void killThenRescan_data() {
        QTest::addColumn<int>("reaction");
        QTest::addColumn<QString>("lines");
        QTest::newRow("ignores SIGTERM")
            << int(ignores) << u"PID %1 is still running|Scanned port %2|Found listener1 PID %1"_s;
        QTest::newRow("exits after a second")
            << int(exitsAfterASecond) << u"Scanned port %2|Port %2 is available"_s;
        QTest::newRow("beside a sibling")
            << int(besideASibling) << u"Scanned port %2|Found listener2 PID %3"_s;
        QTest::newRow("hands over") << int(handsOver)
                                    << u"Scanned port %2|Found listener2 PID %3|"
                                       "PID %1 was replaced by PID %3"_s;
    }
    void killThenRescan() {
        QFETCH(int, reaction);
        QFETCH(QString, lines);
        // One of several workers: the others are no successors.
        ListenerGroup listeners(reaction == besideASibling ? 2 : 1);
        const pid_t first = listeners.children().constFirst();
        InspectorState state;
        state.setPortText(QString::number(listeners.port()));
        state.startScan();
        QTRY_COMPARE_WITH_TIMEOUT(state.status(), ScanStatus::inUse, 20000);
        QSignalSpy changes(&state, &InspectorState::activeKillPIDChanged);
        state.requestKill(state.processes().constFirst(), false);
        state.confirmPendingKill();
        // A graceful server goes about a second after SIGTERM; a restarted one is back at once.
        if (reaction == handsOver)
            QVERIFY(listeners.add());
        if (reaction != ignores)
            QTimer::singleShot(1000, [first] { ::kill(first, SIGKILL); });
        QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 2, 20000); // set, then cleared after the re-scan
        QStringList log;
        for (const ActivityEntry &entry : state.activityEntries())
            log.prepend(entry.message);
        QCOMPARE(log.mid(log.indexOf(u"Killed PID "_s + QString::number(first)) + 1).join(u'|'),
                 lines.replace(u"%1"_s, QString::number(first))
                     .replace(u"%2"_s, QString::number(listeners.port()))
                     .replace(u"%3"_s, QString::number(state.processes().value(0).pid)));
    }
};

QTEST_GUILESS_MAIN(TestSeeItGone)
#include "tst_seeItGone.moc"
