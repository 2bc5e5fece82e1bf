#include "awaitTask.h"
#include "processKillerService.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The sentence the user would see, or nothing for a kill that succeeded.
QString killWith(const ProcessKillerService &killer, pid_t pid, bool force) {
    try {
        awaitTask(killer.kill(pid, force));
    } catch (const LocalizedError &error) {
        return error.errorDescription();
    }
    return {};
}

QCoro::Task<CommandResult> answer(CommandResult result) {
    co_return result;
}

const QString refused = u"Permission denied while killing PID 4242. That process may require admin "
                        "privileges or belong to another protected service."_s;

} // namespace

class TestProcessKiller : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    // 0 would signal our own process group, -1 every process of the user: neither is ever sent.
    void refusesPidsThatAreNotOneProcess() {
        bool ran = false;
        const ProcessKillerService killer([&](const QString &, const QStringList &) {
            ran = true;
            return answer({});
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

QTEST_GUILESS_MAIN(TestProcessKiller)
#include "tst_processKiller.moc"
