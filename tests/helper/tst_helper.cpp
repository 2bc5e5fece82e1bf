#include "commandRunner.h"
#include "helperProtocol.h"
#include "listenerGroup.h"
#include "portScannerService.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

CommandResult runHelper(const QStringList &arguments) {
    QString launchError;
    const CommandResult result =
        CommandRunner::runBlocking(QStringLiteral(QUAYMETER_HELPER), arguments, &launchError);
    if (!launchError.isEmpty())
        qFatal("helper did not start: %s", qPrintable(launchError));
    return result;
}

// Still there and not a zombie: nothing ended it.
bool running(pid_t pid) {
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
}

} // namespace

// Everything the helper is asked runs only if it is one of its two operations on a listener.
class TestHelper : public QObject {
    Q_OBJECT

private slots:
    void refusesAllButItsTwoOperations_data() {
        QTest::addColumn<QString>("arguments"); // %pid, %port, %other, %gone, %self filled in
        QTest::addColumn<QString>("reason");
        const QString usage = u"usage: quaymeter-helper list PORT | quaymeter-helper signal "
                              "TERM|KILL PID PORT"_s;
        const QString port = u"not a TCP port"_s;
        const QString pid = u"not a PID"_s;
        QTest::newRow("nothing") << QString() << usage;
        QTest::newRow("unknown operation") << u"LIST %port"_s << usage;
        QTest::newRow("extra argument") << u"list %port %port"_s << usage;
        QTest::newRow("signal without port") << u"signal KILL %pid"_s << usage;
        for (const QString &bad :
             {u"0"_s, u"65536"_s, u"080"_s, u"+80"_s, u"8O"_s, u"99999999999"_s})
            QTest::addRow("list %s", qPrintable(bad)) << u"list "_s + bad << port;
        QTest::newRow("port of a signal") << u"signal KILL %pid 0"_s << port;
        QTest::newRow("another signal") << u"signal HUP %pid %port"_s << u"not a signal it sends"_s;
        QTest::newRow("signal number") << u"signal 9 %pid %port"_s << u"not a signal it sends"_s;
        for (const QString &bad : {u"0"_s, u"-1"_s, u"01"_s, u"2147483648"_s})
            QTest::addRow("PID %s", qPrintable(bad))
                << u"signal KILL "_s + bad + u" %port"_s << pid;
        QTest::newRow("another port")
            << u"signal KILL %pid %other"_s << u"PID %pid is not listening on TCP port %other."_s;
        QTest::newRow("a process listening nowhere")
            << u"signal KILL %self %port"_s << u"PID %self is not listening on TCP port %port."_s;
        QTest::newRow("stale PID")
            << u"signal TERM %gone %port"_s << u"PID %gone is not running."_s;
    }
    void refusesAllButItsTwoOperations() {
        QFETCH(QString, arguments);
        QFETCH(QString, reason);
        const ListenerGroup listener(1);
        QVERIFY(listener.isListening());
        const pid_t gone = ::fork();
        if (gone == 0)
            ::_exit(0);
        ::waitpid(gone, nullptr, 0);
        const pid_t self = ::getpid();
        const quint16 other = listener.port() == 65535 ? 1 : listener.port() + 1;
        for (QString *text : {&arguments, &reason})
            text->replace(u"%pid"_s, QString::number(listener.children().first()))
                .replace(u"%port"_s, QString::number(listener.port()))
                .replace(u"%other"_s, QString::number(other))
                .replace(u"%gone"_s, QString::number(gone))
                .replace(u"%self"_s, QString::number(self));
        const CommandResult result = runHelper(arguments.split(u' ', Qt::SkipEmptyParts));
        QCOMPARE(result.standardError, HelperProtocol::refusalPrefix + reason + u'\n');
        QCOMPARE(result.exitCode, HelperProtocol::refusedExitCode);
        QVERIFY(running(listener.children().first()));
    }

    // What the tools print comes through unchanged, read as the window reads the tools.
    void listsAndSignalsAListener() {
        ListenerGroup listener(1);
        QVERIFY(listener.isListening());
        const pid_t pid = listener.children().first();
        const QString port = QString::number(listener.port());
        const CommandResult listed = runHelper({u"list"_s, port});
        QCOMPARE(listed.exitCode, 0);
        const QList<PortProcess> records =
            PortScannerService::readListeners(listed, listener.port());
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first().pid, pid);
        QCOMPARE(records.first().commandName, u"listener1"_s);

        // The listeners ignore TERM: sent, and still listening.
        QCOMPARE(runHelper({u"signal"_s, u"TERM"_s, QString::number(pid), port}),
                 (CommandResult{}));
        QVERIFY(running(pid));
        QCOMPARE(runHelper({u"signal"_s, u"KILL"_s, QString::number(pid), port}),
                 (CommandResult{}));
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
};

QTEST_GUILESS_MAIN(TestHelper)
#include "tst_helper.moc"
