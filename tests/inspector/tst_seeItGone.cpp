#include "inspectorState.h"

#include <QtTest>
#include <csignal>
#include <sys/prctl.h>

using namespace Qt::StringLiterals;

enum Reaction { ignores, exitsAfterASecond, handsOver, besideASibling };

// A real listener on 127.0.0.1 that ignores SIGTERM. It reads its port (0: any) from standard
// input, so a restart on the same port has the same command line, and prints the port.
const QString script =
    u"import signal, socket; signal.signal(signal.SIGTERM, signal.SIG_IGN)\n"
    "s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEPORT, 1)\n"
    "s.bind(('127.0.0.1', int(input()))); s.listen()\n"
    "print(s.getsockname()[1], flush=True); signal.pause()"_s;

class TestSeeItGone : public QObject {
    Q_OBJECT

    QList<QProcess *> m_listeners;

    quint16 listen(quint16 port) {
        auto *listener = m_listeners.emplace_back(new QProcess(this));
        listener->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        listener->start(u"/usr/bin/python3"_s, {u"-c"_s, script});
        listener->write(QByteArray::number(port) + '\n');
        return listener->waitForReadyRead(20000) ? listener->readLine().trimmed().toUShort() : 0;
    }

private slots:
    void cleanup() {
        for (QProcess *listener : std::exchange(m_listeners, {})) {
            listener->kill();
            listener->waitForFinished();
            delete listener;
        }
    }

    // The log after "Killed PID %1": %2 is the port, %3 the PID the re-scan found.
    void killThenRescan_data() {
        QTest::addColumn<int>("reaction");
        QTest::addColumn<QString>("lines");
        QTest::newRow("ignores SIGTERM")
            << int(ignores) << u"PID %1 is still running|Scanned port %2|Found python3 PID %1"_s;
        QTest::newRow("exits after a second")
            << int(exitsAfterASecond) << u"Scanned port %2|Port %2 is available"_s;
        QTest::newRow("beside a sibling")
            << int(besideASibling) << u"Scanned port %2|Found python3 PID %3"_s;
        QTest::newRow("hands over") << int(handsOver)
                                    << u"Scanned port %2|Found python3 PID %3|"
                                       "PID %1 was replaced by PID %3"_s;
    }
    void killThenRescan() {
        QFETCH(int, reaction);
        QFETCH(QString, lines);
        const quint16 port = listen(0);
        const auto first = pid_t(m_listeners.constFirst()->processId());
        if (reaction == besideASibling) // one of several workers: the others are no successors
            listen(port);
        InspectorState state;
        state.setPortText(QString::number(port));
        state.startScan();
        QTRY_COMPARE_WITH_TIMEOUT(state.status(), ScanStatus::inUse, 20000);
        QSignalSpy changes(&state, &InspectorState::activeKillPIDChanged);
        state.requestKill(state.processes().constFirst(), false);
        state.confirmPendingKill();
        // A graceful server goes about a second after SIGTERM; a restarted one is back at once.
        if (reaction == handsOver)
            QCOMPARE(listen(port), port);
        if (reaction != ignores)
            QTimer::singleShot(1000, m_listeners.constFirst(), &QProcess::kill);
        QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 2, 20000); // set, then cleared after the re-scan
        QStringList log;
        for (const ActivityEntry &entry : state.activityEntries())
            log.prepend(entry.message);
        QCOMPARE(log.mid(log.indexOf(u"Killed PID "_s + QString::number(first)) + 1).join(u'|'),
                 lines.replace(u"%1"_s, QString::number(first))
                     .replace(u"%2"_s, QString::number(port))
                     .replace(u"%3"_s, QString::number(state.processes().value(0).pid)));
    }
};

QTEST_GUILESS_MAIN(TestSeeItGone)
#include "tst_seeItGone.moc"
