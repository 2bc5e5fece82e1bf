#include "processIdentity.h"

#include <QtTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

// /proc/PID/cgroup as this machine's kernel printed it (cgroup v1 beside the unified hierarchy)
// after a process was moved into each group.
const QByteArray nginx = "9:name=systemd:/system.slice/nginx.service\n8:pids:/\n4:memory:/process_"
                         "api/6e49c88f20ab33662c7034f1877e9ffb\n0::/system.slice/nginx.service\n";

// A daemon of init's in that group.
ProcessIdentity daemonIn(const QByteArray &cgroup) {
    return ProcessIdentity::parse(
        {{}, "nginx\0-g\0daemon off;\0"_ba, "1 (nginx) S 1 1", cgroup, {}, {}, {}, {}}, 100);
}

class TestProcessIdentity : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void servicesFromCgroups_data() {
        QTest::addColumn<QByteArray>("cgroup");
        QTest::addColumn<QString>("line");
        QTest::newRow("system unit") << nginx << u"System service: nginx.service"_s;
        QTest::newRow("another unit")
            << "0::/system.slice/apache2.service\n"_ba << u"System service: apache2.service"_s;
        QTest::newRow("user unit")
            << "0::/user.slice/user-1000.slice/user@1000.service/app.slice/vite.service\n"_ba
            << u"User service: vite.service"_s;
        QTest::newRow("container scope") << "0::/system.slice/docker-c3d3bea1d0cb29cda2a2067e616b00"
                                            "65d1d95757e9e631c501c04ecbb39acc77.scope\n"_ba
                                         << u"Container: docker c3d3bea1d0cb"_s;
        QTest::newRow("login session")
            << "0::/user.slice/user-1000.slice/session-3.scope\n"_ba << QString();
        QTest::newRow("app started from the desktop") // the user manager is no one's service
            << "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-firefox-2345"
               ".scope\n"_ba
            << QString();
    }
    // A restart in the same unit is the same service; two children of init are not one.
    void servicesFromCgroups() {
        QFETCH(QByteArray, cgroup);
        QFETCH(QString, line);
        const ProcessIdentity daemon = daemonIn(cgroup);
        QCOMPARE(daemon.summary(), u"Command line: nginx -g 'daemon off;'\nParent: PID 1"_s +
                                       (line.isEmpty() ? QString() : u'\n' + line));
        QCOMPARE(ProcessIdentity::sameService(daemonIn(nginx), daemon),
                 line == u"System service: nginx.service");
        QCOMPARE(ProcessIdentity::sameService(daemon, daemon), !line.isEmpty());
    }

    // A real child whose name holds the stat line's own delimiters, seen by its owner and by
    // another user, who may not read where it runs or what it runs.
    void readsARealChild() {
        QTemporaryDir dir;
        const QString program = dir.filePath(u"web) x (1"_s);
        QVERIFY(QFile::link(u"/bin/sh"_s, program));
        QProcess child;
        child.setWorkingDirectory(dir.path());
        child.start(program, {u"-c"_s, u"sleep 30; :"_s, u"it's"_s});
        QVERIFY(child.waitForStarted());
        const auto pid = pid_t(child.processId());
        // Exec reports success a moment before the kernel shows the new arguments.
        QTRY_VERIFY(!ProcessIdentity::read(pid).commandLine.isEmpty());
        const ProcessIdentity identity = ProcessIdentity::read(pid);
        const bool asAnotherUser = ::geteuid() == 0 && ::seteuid(65534) == 0;
        const ProcessIdentity seen = ProcessIdentity::read(pid);
        QVERIFY(!asAnotherUser || ::seteuid(0) == 0);
        child.kill();
        child.waitForFinished();
        const QString commandLine = u"'%1' -c 'sleep 30; :' 'it'\\''s'"_s.arg(program);
        QCOMPARE(identity.summary(),
                 u"Name: web) x (1\nCommand line: %1\nWorking directory: %2\nExecutable: %3\n"
                 "Parent: %4 PID %5\nRunning for: %6 s"_s.arg(
                     commandLine, dir.path(), QFileInfo(u"/bin/sh"_s).canonicalFilePath(),
                     QCoreApplication::applicationName().left(15),
                     QString::number(QCoreApplication::applicationPid()),
                     QString::number(identity.runningSeconds)));
        if (!asAnotherUser)
            QSKIP("only root can look as another user");
        QCOMPARE(seen.summary().section(u'\n', 0, 1), identity.summary().section(u'\n', 0, 1));
        QVERIFY(seen.workingDirectory.isEmpty() && seen.executable.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProcessIdentity)
#include "tst_processIdentity.moc"
