#include "awaitTask.h"
#include "portScannerService.h"
#include "processKillerService.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Real lines of `lsof -nP -iTCP:PORT -sTCP:LISTEN` (lsof 4.95, Debian 12).
const QString heading = u"COMMAND  PID USER   FD   TYPE DEVICE SIZE/OFF NODE NAME"_s;
const QString v4Line =
    u"python3 4026 root    3u  IPv4   8723      0t0  TCP 127.0.0.1:18432 (LISTEN)"_s;
const QString nobodyLine =
    u"quaymeter 4242 nobody    3u  IPv6   9458      0t0  TCP *:18434 (LISTEN)"_s;
const QString lsofUsageError =
    u"lsof: unknown service abc for tcp in: -i TCP:abc\nlsof 4.95.0\n latest revision: https://github.com/lsof-org/lsof\n"_s;
QString hiddenListener(const QString &addresses) {
    return u"User root listens on "_s + addresses +
           u". Scan as Administrator to see the process."_s;
}

QCoro::Task<CommandResult> answer(CommandResult result) {
    co_return result;
}
QCoro::Task<QList<KernelListener>> answer(bool hidden) {
    co_return hidden ? QList<KernelListener>{{0, u"root"_s, u"127.0.0.1"_s}}
                     : QList<KernelListener>();
}

// The scan's outcome as the user reads it: the raw lines listed, or the sentence it ends with.
QString outcome(const PortScannerService &scanner, qint64 port) {
    try {
        const PortListing listing = awaitTask(scanner.findListeners(port));
        if (listing.hidden)
            return listing.hidden->description();
        QStringList lines;
        for (const PortProcess &record : listing.processes)
            lines << record.rawOutput;
        return lines.join(u'|');
    } catch (const LocalizedError &error) {
        return error.errorDescription();
    }
}

// The sentence the user would see, or nothing for a kill that succeeded.
QString killWith(const ProcessKillerService &killer, pid_t pid, bool force) {
    try {
        awaitTask(killer.kill(pid, force));
    } catch (const LocalizedError &error) {
        return error.errorDescription();
    }
    return {};
}

const QString refused = u"Permission denied while killing PID 4242. That process may require admin "
                        "privileges or belong to another protected service."_s;

} // namespace

// What lsof and /bin/kill print, read as the user reads the outcome.
class TestToolOutput : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void readsWhatLsofPrints_data() {
        QTest::addColumn<QString>("out");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::addColumn<bool>("kernelSeesOne");
        QTest::addColumn<QString>("expected"); // raw lines joined by '|', or the error sentence
        const QString lines = heading + u'\n' + v4Line + u'\n' + nobodyLine;
        const QString both = v4Line + u'|' + nobodyLine;
        QTest::newRow("heading only") << heading << 0 << QString() << false << QString();
        QTest::newRow("nothing, exit 1") << QString() << 1 << QString() << false << QString();
        // Only an empty list makes the kernel's tables worth reading.
        QTest::newRow("nothing, the kernel sees one")
            << QString() << 1 << QString() << true << hiddenListener(u"127.0.0.1:18432"_s);
        QTest::newRow("blank error") << heading << 1 << u" \n\t\u2028"_s << false << QString();
        QTest::newRow("error") << QString() << 1 << u"lsof: status error on /x: gone\n"_s << true
                               << u"Unable to scan the port. lsof: status error on /x: gone"_s;
        QTest::newRow("error text, exit 0")
            << QString() << 0 << lsofUsageError << false << QString();
        QTest::newRow("records beat an error") << lines << 1 << lsofUsageError << true << both;
        QTest::newRow("output order, first line per PID")
            << u"H\na 300 u\nb 200 u\nc 300 u"_s << 0 << QString() << false << u"a 300 u|b 200 u"_s;
        QTest::newRow("unusable PIDs skipped")
            << heading +
                   u"\nnode PID dev\nnode 12ab dev\nnode 4242\nn 0 d\nn -1 d\nn + d\n"
                   u"n 2147483648 d\nn \u0663 d\n"_s +
                   v4Line
            << 0 << QString() << false << v4Line;
        QTest::newRow("CRLF, blank lines")
            << u"\r\n\r\n"_s + heading + u"\r\n\r\n"_s + v4Line + u"\r\n"_s + nobodyLine + u"\r\n"_s
            << 0 << QString() << false << both;
        for (const char16_t separator : {u'\v', u'\f', u'\r', u'\u0085', u'\u2028', u'\u2029'})
            QTest::addRow("separator U+%04X", unsigned(separator))
                << heading + separator + v4Line + separator + nobodyLine << 0 << QString() << false
                << both;
        const QString spaced = u"\t"_s + QString(v4Line).replace(u"    "_s, u"\t \u00A0"_s);
        QTest::newRow("tabs and no-break spaces, kept in the raw line")
            << heading + u'\n' + spaced << 0 << QString() << false << spaced;
        QTest::newRow("first line is the heading")
            << u"\n\n"_s + v4Line + u'\n' + nobodyLine << 0 << QString() << false << nobodyLine;
    }
    void readsWhatLsofPrints() {
        QFETCH(QString, out);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QFETCH(bool, kernelSeesOne);
        QFETCH(QString, expected);
        QStringList command;
        const PortScannerService scanner(
            [&](const QString &, const QStringList &arguments) {
                command = arguments;
                return answer(CommandResult{out, err, exitCode});
            },
            [&](qint64) { return answer(kernelSeesOne); });
        QCOMPARE(outcome(scanner, 18432), expected);
        QCOMPARE(command, (QStringList{u"-nP"_s, u"-iTCP:18432"_s, u"-sTCP:LISTEN"_s}));
        const QList<PortProcess> records = PortScannerService::readListeners({out, {}, 0}, 18432);
        for (const PortProcess &record : records)
            QCOMPARE(record.port, 18432); // the scanned port, not the line's
    }

    void splitsALineIntoItsFields() {
        const auto record = PortScannerService::parseListenerLine(nobodyLine, 18434);
        QVERIFY(record);
        QCOMPARE(*record,
                 (PortProcess{u"quaymeter"_s, 4242, u"nobody"_s,
                              u"3u IPv6 9458 0t0 TCP *:18434 (LISTEN)"_s, nobodyLine, 18434}));
        QCOMPARE(PortScannerService::parseListenerLine(u"node +0042 dev"_s, 1)->commandDetails,
                 QString());
        QCOMPARE(PortScannerService::parseListenerLine(u"node +0042 dev"_s, 1)->pid, 42);
    }

    // Real rows of /proc/net/tcp and tcp6: only a socket in the LISTEN state (0A) is a listener,
    // named once by its owner and its address as lsof writes it.
    void kernelTableNamesOwnerAndAddress() {
        const auto listeners = [](const QString &local, const QString &state = u"0A"_s) {
            const QString row = u"   0: "_s + local + u" 00000000:0000 "_s + state +
                                u" 00000000:00000000 00:00000000 00000000   105        0 8723 1 "
                                "0000000000000000 100 0 0 10 0\n"_s;
            QStringList found;
            for (const KernelListener &listener :
                 KernelTcpTable::tableListeners(u"header\n"_s + row + row, 8080))
                found << QString::number(listener.uid) + u' ' + listener.address;
            return found.join(u'|');
        };
        QCOMPARE(listeners(u"0100007F:1F90"_s), u"105 127.0.0.1"_s);
        QCOMPARE(listeners(u"00000000000000000000000001000000:1F90"_s), u"105 [::1]"_s);
        QCOMPARE(listeners(QString(32, u'0') + u":1F90"_s), u"105 *"_s);
        QCOMPARE(listeners(u"0100007F:1F90"_s, u"01"_s), QString());
        QCOMPARE(listeners(u"0100007F:1F91"_s), QString());
    }

    // Where /usr/bin/lsof is missing the one in /usr/sbin runs; with neither, the launch error
    // names the first. A folder or a file that does not execute is not lsof.
    void findsLsofInTheFirstPlaceThatHasIt() {
        const QStringList missing{u"/nonexistent/lsof"_s, u"/nonexistent/sbin/lsof"_s};
        QCOMPARE(PortScannerService::locateLsof(
                     missing + QStringList{u"/etc"_s, u"/etc/passwd"_s, u"/bin/sh"_s}),
                 u"/bin/sh"_s);
        QCOMPARE(PortScannerService::locateLsof(missing), missing.first());
    }

    // 0 would signal our own process group, -1 every process of the user: neither is ever sent.
    void refusesPidsThatAreNotOneProcess() {
        bool ran = false;
        const ProcessKillerService killer([&](const QString &, const QStringList &) {
            ran = true;
            return answer(CommandResult{});
        });
        for (const pid_t pid : {0, -1})
            QCOMPARE(killWith(killer, pid, true), u"Could not kill PID "_s + QString::number(pid) +
                                                      u". PID must be a positive number."_s);
        QVERIFY(!ran);
    }

    void classifiesWhatKillPrints_data() {
        QTest::addColumn<QString>("err");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("sentence");
        const QString gone = u"PID 4242 is no longer running."_s;
        // Real texts of procps' /bin/kill, then variants of case and spacing.
        QTest::newRow("gone") << u"kill: (4242): No such process\n"_s << 1 << gone;
        QTest::newRow("not permitted")
            << u"kill: (4242): Operation not permitted\n"_s << 1 << refused;
        QTest::newRow("exit 0 wins") << u"kill: (4242): No such process\n"_s << 0 << QString();
        QTest::newRow("upper case") << u"NO SUCH PROCESS"_s << 1 << gone;
        QTest::newRow("permission denied") << u"PERMISSION DENIED"_s << 1 << refused;
        QTest::newRow("permission first")
            << u"no such process; permission denied"_s << 1 << refused;
        QTest::newRow("blank") << u"  \n \n"_s << 2
                               << u"Could not kill PID 4242. kill exited with status 2."_s;
        QTest::newRow("other text, trimmed")
            << u"  kill: failed to parse argument: 'x'\n"_s << 1
            << u"Could not kill PID 4242. kill: failed to parse argument: 'x'"_s;
    }
    void classifiesWhatKillPrints() {
        QFETCH(QString, err);
        QFETCH(int, exitCode);
        QFETCH(QString, sentence);
        // Standard output never counts, whatever it says.
        const ProcessKillerService killer([&](const QString &, const QStringList &) {
            return answer(CommandResult{u"no such process"_s, err, exitCode});
        });
        QCOMPARE(killWith(killer, 4242, false), sentence);
    }
};

QTEST_GUILESS_MAIN(TestToolOutput)
#include "tst_toolOutput.moc"
