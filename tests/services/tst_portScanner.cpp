#include "awaitTask.h"
#include "listeningSocket.h"
#include "portScannerService.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QtTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Real lines of `lsof -nP -iTCP:PORT -sTCP:LISTEN` (lsof 4.95, Debian 12): python3 on
// 127.0.0.1 and [::1], and a 9-character command of user nobody on every address.
const QString heading = u"COMMAND  PID USER   FD   TYPE DEVICE SIZE/OFF NODE NAME"_s;
const QString v4Line =
    u"python3 4026 root    3u  IPv4   8723      0t0  TCP 127.0.0.1:18432 (LISTEN)"_s;
const QString v6Line = u"python3 4026 root    4u  IPv6   8724      0t0  TCP [::1]:18432 (LISTEN)"_s;
const QString nobodyLine =
    u"quaymeter 4242 nobody    3u  IPv6   9458      0t0  TCP *:18434 (LISTEN)"_s;
// lsof's standard error for an unusable port argument (its first lines).
const QString lsofUsageError =
    u"lsof: unknown service abc for tcp in: -i TCP:abc\nlsof 4.95.0\n latest revision: https://github.com/lsof-org/lsof\n"_s;

QList<PortProcess> read(const QString &out, int exitCode = 0, const QString &err = {}) {
    return PortScannerService::readListeners(CommandResult{out, err, exitCode}, 18432);
}

QList<pid_t> pids(const QList<PortProcess> &records) {
    QList<pid_t> result;
    for (const PortProcess &record : records)
        result.append(record.pid);
    return result;
}

QCoro::Task<CommandResult> answer(CommandResult result) {
    co_return result;
}
QCoro::Task<bool> answer(bool hidden) {
    co_return hidden;
}

// A scanner whose lsof prints `result` and whose kernel table says `hidden`, recording the calls.
struct Scripted {
    CommandResult result;
    bool hidden = false;
    QStringList command = {};
    int tableReads = 0;

    PortScannerService scanner() {
        return PortScannerService(
            [this](const QString &path, const QStringList &arguments) {
                command = QStringList{path} + arguments;
                return answer(result);
            },
            [this](qint64) {
                ++tableReads;
                return answer(hidden);
            });
    }
};

QString errorOf(PortScannerService scanner, qint64 port) {
    try {
        awaitTask(scanner.findListeners(port));
    } catch (const PortScannerError &error) {
        return error.errorDescription();
    }
    return {};
}

QString procTable(const char *path) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

} // namespace

class TestPortScanner : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // --- the real lsof and the real kernel tables ---

    void realLsofFindsThisProcess() {
        ListeningSocket socket;
        QVERIFY(socket.isListening());
        const QList<PortProcess> records =
            awaitTask(PortScannerService().findListeners(socket.port()));
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].pid, ::getpid());
        QCOMPARE(records[0].port, socket.port());
        // lsof shows at most the first 9 characters of the command name.
        const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QCOMPARE(records[0].commandName, program.left(9));
        QVERIFY(records[0].rawOutput.contains(u"127.0.0.1:"_s + QString::number(socket.port())));
    }

    void realLsofListsAProcessOnceForIPv4AndIPv6() {
        ListeningSocket socket;
        QVERIFY(socket.isListening());
        if (!socket.alsoListenOnIPv6Loopback())
            QSKIP("no IPv6 loopback here");
        const QList<PortProcess> records =
            awaitTask(PortScannerService().findListeners(socket.port()));
        QCOMPARE(pids(records), QList<pid_t>{::getpid()});
    }

    void realFreePortIsEmpty() {
        QCOMPARE(awaitTask(PortScannerService().findListeners(freePort())), QList<PortProcess>());
    }

    void realListenerOfAnotherUserIsNotAFreePort() {
        if (::getuid() != 0 || !QFile::exists(u"/usr/bin/setpriv"_s))
            QSKIP("needs root to run lsof as another user");
        ListeningSocket socket;
        QVERIFY(socket.isListening());
        // lsof run as nobody cannot see our socket and prints nothing; the kernel's table can.
        const PortScannerService asNobody([](const QString &path, const QStringList &arguments) {
            return CommandRunner::run(
                u"/usr/bin/setpriv"_s,
                QStringList{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, path} +
                    arguments);
        });
        QCOMPARE(
            errorOf(asNobody, socket.port()),
            u"Unable to scan the port. A process that you are not allowed to inspect is listening on port "_s +
                QString::number(socket.port()) + u"."_s);
    }

    void realKernelTables() {
        ListeningSocket socket;
        QVERIFY(socket.isListening());
        const QString v4 = procTable("/proc/net/tcp");
        QVERIFY(KernelTcpTable::tableHasListener(v4, socket.port()));
        QVERIFY(awaitTask(KernelTcpTable::hasListener(socket.port())));
        const quint16 free = freePort();
        QVERIFY(!awaitTask(KernelTcpTable::hasListener(free)));
        if (socket.alsoListenOnIPv6Loopback())
            QVERIFY(KernelTcpTable::tableHasListener(procTable("/proc/net/tcp6"), socket.port()));
    }

    void kernelTableText() {
        const QString header =
            u"  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"_s;
        const QString listen =
            u"   0: 0100007F:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 8723 1 0000000000000000 100 0 0 10 0\n"_s;
        const QString established =
            u"   1: 0100007F:0BB8 0100007F:A1B2 01 00000000:00000000 00:00000000 00000000     0        0 8725 1 0000000000000000 20 4 30 10 -1\n"_s;
        const QString v6 =
            u"   0: 00000000000000000000000001000000:4800 00000000000000000000000000000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 8724 1 0000000000000000 100 0 0 10 0\n"_s;
        QVERIFY(KernelTcpTable::tableHasListener(header + listen, 8080));
        QVERIFY(!KernelTcpTable::tableHasListener(header + listen, 8081));
        QVERIFY(!KernelTcpTable::tableHasListener(header + established, 3000)); // not LISTEN
        QVERIFY(!KernelTcpTable::tableHasListener(header + listen, 0x1F90 + 0x10000));
        QVERIFY(KernelTcpTable::tableHasListener(header + established + v6, 18432));
        QVERIFY(!KernelTcpTable::tableHasListener(header, 0));
        for (const QString &junk :
             {u""_s, u"\n\n:\n0A\n"_s, u"0: :1F90 x 0A"_s, u"0: zz:1F90 x 0A"_s,
              u"0: 0100007F: x 0A"_s, u"0: 0100007F:123456789 x 0A"_s, u"0: 0100007F:1F90"_s,
              u"0: 0100007F:1F90 0 0\u00A0"_s})
            QVERIFY2(!KernelTcpTable::tableHasListener(junk, 8080), qPrintable(junk));
    }

    // --- the command and the flow around lsof ---

    void runsLsofWithExactlyThreeArguments() {
        Scripted lsof{.result = {heading + u'\n' + v4Line + u'\n', {}, 0}};
        QCOMPARE(pids(awaitTask(lsof.scanner().findListeners(8080))), QList<pid_t>{4026});
        QCOMPARE(lsof.command, (QStringList{PortScannerService::lsofPath, u"-nP"_s, u"-iTCP:8080"_s,
                                            u"-sTCP:LISTEN"_s}));
        QCOMPARE(PortScannerService::lsofPath, u"/usr/bin/lsof"_s);
        QCOMPARE(lsof.tableReads, 0);
    }

    void freePortConsultsTheKernelTable() {
        Scripted lsof{.result = {{}, {}, 1}};
        QCOMPARE(awaitTask(lsof.scanner().findListeners(80)), QList<PortProcess>());
        QCOMPARE(lsof.tableReads, 1);
        lsof.hidden = true;
        QCOMPARE(
            errorOf(lsof.scanner(), 80),
            u"Unable to scan the port. A process that you are not allowed to inspect is listening on port 80."_s);
    }

    void lsofFailureStandsWithoutReadingTheTable() {
        Scripted lsof{.result = {{}, lsofUsageError, 1}, .hidden = true};
        QCOMPARE(errorOf(lsof.scanner(), 80),
                 u"Unable to scan the port. "_s + lsofUsageError.trimmed());
        QCOMPARE(lsof.tableReads, 0);
    }

    // --- interpretation of what lsof prints ---

    void parsesARealLine() {
        const auto record = PortScannerService::parseListenerLine(nobodyLine, 18434);
        QVERIFY(record);
        QCOMPARE(*record,
                 (PortProcess{u"quaymeter"_s, 4242, u"nobody"_s,
                              u"3u IPv6 9458 0t0 TCP *:18434 (LISTEN)"_s, nobodyLine, 18434}));
        QCOMPARE(PortScannerService::parseListenerLine(u"node 7 dev"_s, 1)->commandDetails,
                 QString());
    }

    void tabsAndNoBreakSpacesSeparateLikeSpaces() {
        QString spaced = v4Line;
        spaced.replace(u"    "_s, u"\t \u00A0"_s);
        const auto a = PortScannerService::parseListenerLine(v4Line, 1);
        const auto b = PortScannerService::parseListenerLine(u"\t"_s + spaced + u"  "_s, 1);
        QVERIFY(a && b);
        QCOMPARE(std::tuple(b->commandName, b->pid, b->user, b->commandDetails),
                 std::tuple(a->commandName, a->pid, a->user, a->commandDetails));
        QCOMPARE(b->rawOutput, u"\t"_s + spaced + u"  "_s);
    }

    void unusablePidColumnsAreSkipped() {
        for (const QString &pid : {u"PID"_s, u"12ab"_s, u"+"_s, u"-"_s, u"0"_s, u"-5"_s, u"+-1"_s,
                                   u"٣"_s, u"2147483648"_s, u"99999999999999999999"_s})
            QVERIFY2(!PortScannerService::parseListenerLine(u"node "_s + pid + u" dev 3u"_s, 1),
                     qPrintable(pid));
        QVERIFY(!PortScannerService::parseListenerLine(u"node 4242"_s, 1));
        QCOMPARE(PortScannerService::parseListenerLine(u"node +0042 dev"_s, 1)->pid, 42);
        QCOMPARE(PortScannerService::parseListenerLine(u"node 2147483647 dev"_s, 1)->pid,
                 2147483647);
        const QString out =
            heading + u"\nnode PID dev\nnode 12ab dev\nnode 4242\nnode 0 dev\nnode -1 dev\n"_s +
            v4Line;
        QCOMPARE(pids(read(out)), QList<pid_t>{4026});
    }

    void oneRecordPerPidInOutputOrder() {
        const QList<PortProcess> records = read(heading + u'\n' + v4Line + u'\n' + v6Line + u'\n');
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].rawOutput, v4Line);
        QCOMPARE(pids(read(heading + u"\na 300 u\nb 200 u\nc 300 u"_s)), (QList<pid_t>{300, 200}));
    }

    void everyNewlineSeparatesAndBlankLinesVanish() {
        const QString lf = heading + u'\n' + v4Line + u'\n' + nobodyLine + u'\n';
        const QString crlf =
            u"\r\n\r\n"_s + heading + u"\r\n\r\n"_s + v4Line + u"\r\n"_s + nobodyLine + u"\r\n"_s;
        QCOMPARE(read(crlf), read(lf));
        for (const char16_t separator : {u'\v', u'\f', u'\r', u'\u0085', u'\u2028', u'\u2029'})
            QCOMPARE(read(heading + separator + v4Line + separator + nobodyLine), read(lf));
        QCOMPARE(PortScannerService::splitLines(u"a\r\n\nb\u2028c\r"_s),
                 (QStringList{u"a"_s, u"b"_s, u"c"_s}));
        // The first non-blank line is the heading, whatever it says.
        QCOMPARE(pids(read(u"\n\n"_s + v4Line + u'\n' + nobodyLine)), QList<pid_t>{4242});
    }

    void portComesFromTheScanNotTheLine() {
        const QList<PortProcess> records = read(heading + u'\n' + nobodyLine);
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].port, 18432);
    }

    void exitCodeAndErrorRules() {
        QCOMPARE(read(heading), QList<PortProcess>());
        QCOMPARE(read({}, 1), QList<PortProcess>());
        QCOMPARE(read(heading, 1, u" \n\t\u2028"_s), QList<PortProcess>()); // never failed("")
        QCOMPARE(pids(read(heading + u'\n' + v4Line, 1, lsofUsageError)), QList<pid_t>{4026});
        QCOMPARE(read({}, 0, lsofUsageError), QList<PortProcess>());
        try {
            read({}, 1, u"lsof: status error on /nope: No such file or directory\n"_s);
            QFAIL("expected PortScannerError");
        } catch (const PortScannerError &error) {
            QCOMPARE(error.message(), u"lsof: status error on /nope: No such file or directory"_s);
            QCOMPARE(
                error.errorDescription(),
                u"Unable to scan the port. lsof: status error on /nope: No such file or directory"_s);
        }
    }
};

QTEST_GUILESS_MAIN(TestPortScanner)
#include "tst_portScanner.moc"
