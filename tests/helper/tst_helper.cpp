#include "commandRunner.h"
#include "helperProtocol.h"
#include "listenerGroup.h"

#include <QtTest>

using namespace Qt::StringLiterals;

static CommandResult runHelper(const QString &arguments) {
    return CommandRunner::runBlocking(QStringLiteral(QUAYMETER_HELPER),
                                      arguments.split(u' ', Qt::SkipEmptyParts), nullptr);
}

// The real helper against a real listener that ignores TERM: it runs only its two operations, and
// signals only a PID listening on the port named.
class TestHelper : public QObject {
    Q_OBJECT

private slots:
    void refusesAllButItsTwoOperations_data() {
        QTest::addColumn<QString>("arguments"); // %pid, %port, %other filled in
        QTest::addColumn<QString>("reason");
        const QString usage = u"usage: quaymeter-helper list PORT | quaymeter-helper signal "
                              "TERM|KILL PID PORT"_s;
        for (const QString &wrong :
             {u""_s, u"LIST %port"_s, u"list %port %port"_s, u"signal KILL %pid"_s})
            QTest::addRow("%s", qPrintable(wrong)) << wrong << usage;
        for (const QString &port : {u"0"_s, u"65536"_s, u"080"_s, u"+80"_s, u"99999999999"_s})
            QTest::addRow("port %s", qPrintable(port)) << u"list "_s + port << u"not a TCP port"_s;
        for (const QString &pid : {u"0"_s, u"-1"_s, u"01"_s, u"2147483648"_s})
            QTest::addRow("PID %s", qPrintable(pid))
                << u"signal KILL "_s + pid + u" %port"_s << u"not a PID"_s;
        QTest::newRow("HUP") << u"signal HUP %pid %port"_s << u"not a signal it sends"_s;
        QTest::newRow("another port")
            << u"signal KILL %pid %other"_s << u"PID %pid is not listening on TCP port %other."_s;
        QTest::newRow("no such process")
            << u"signal TERM 2147483647 %port"_s << u"PID 2147483647 is not running."_s;
    }
    void refusesAllButItsTwoOperations() {
        QFETCH(QString, arguments);
        QFETCH(QString, reason);
        const ListenerGroup listener(1);
        for (QString *text : {&arguments, &reason})
            text->replace(u"%pid"_s, QString::number(listener.children().first()))
                .replace(u"%port"_s, QString::number(listener.port()))
                .replace(u"%other"_s, QString::number(listener.port() % 65535 + 1));
        const CommandResult result = runHelper(arguments);
        QCOMPARE(result.standardError, HelperProtocol::refusalPrefix + reason + u'\n');
        QCOMPARE(result.exitCode, HelperProtocol::refusedExitCode);
        QCOMPARE(::waitpid(listener.children().first(), nullptr, WNOHANG), 0); // nothing ended it
    }

    // TERM goes and is ignored, KILL goes and ends it: /bin/kill ran, and reported nothing.
    void signalsAListener() {
        ListenerGroup listener(1);
        const pid_t pid = listener.children().first();
        for (const char *signal : {"TERM", "KILL"})
            QCOMPARE(runHelper(u"signal %1 %2 %3"_s.arg(signal).arg(pid).arg(listener.port())),
                     CommandResult{});
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QCOMPARE(WTERMSIG(status), SIGKILL);
    }
};

QTEST_GUILESS_MAIN(TestHelper)
#include "tst_helper.moc"
