#include "captures.h"
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
        QTest::addColumn<QString>("stop");
        QTest::newRow("system unit")
            << nginx << u"System service: nginx.service"_s << u"systemctl stop nginx.service"_s;
        QTest::newRow("escaped unit name") << "0::/system.slice/app@a\\x2db.service\n"_ba
                                           << u"System service: app@a\\x2db.service"_s
                                           << u"systemctl stop 'app@a\\x2db.service'"_s;
        QTest::newRow("user unit")
            << "0::/user.slice/user-1000.slice/user@1000.service/app.slice/vite.service\n"_ba
            << u"User service: vite.service"_s << u"systemctl --user stop vite.service"_s;
        const QByteArray id = "c3d3bea1d0cb29cda2a2067e616b0065d1d95757e9e631c501c04ecbb39acc77";
        QTest::newRow("docker scope")
            << "0::/system.slice/docker-" + id + ".scope\n"
            << u"Container: docker c3d3bea1d0cb"_s << u"docker stop c3d3bea1d0cb"_s;
        QTest::newRow("rootless podman")
            << "0::/user.slice/user-1000.slice/user@1000.service/user.slice/libpod-" + id +
                   ".scope/container\n"
            << u"Container: libpod c3d3bea1d0cb"_s << u"podman stop c3d3bea1d0cb"_s;
        QTest::newRow("podman's monitor of a container")
            << "0::/machine.slice/libpod-conmon-" + id + ".scope\n"
            << u"Container: libpod c3d3bea1d0cb"_s << u"podman stop c3d3bea1d0cb"_s;
        QTest::newRow("kubernetes pod") << "0::/kubepods.slice/cri-containerd-" + id + ".scope\n"
                                        << u"Container: cri-containerd c3d3bea1d0cb"_s << QString();
        QTest::newRow("login session")
            << "0::/user.slice/user-1000.slice/session-3.scope\n"_ba << QString() << QString();
        QTest::newRow("app started from the desktop") // the user manager is no one's service
            << "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-firefox-2345"
               ".scope\n"_ba
            << QString() << QString();
    }
    // A restart in the same unit is the same service; two children of init are not one. Only
    // what Docker, Podman or systemd runs has a command that stops it for good.
    void servicesFromCgroups() {
        QFETCH(QByteArray, cgroup);
        QFETCH(QString, line);
        QFETCH(QString, stop);
        const ProcessIdentity daemon = daemonIn(cgroup);
        QCOMPARE(daemon.summary(), u"Command line: nginx -g 'daemon off;'\nParent: PID 1"_s +
                                       (line.isEmpty() ? QString() : u'\n' + line));
        QCOMPARE(ProcessIdentity::sameService(daemonIn(nginx), daemon),
                 line == u"System service: nginx.service");
        QCOMPARE(ProcessIdentity::sameService(daemon, daemon), !line.isEmpty());
        QCOMPARE(daemon.stopCommand(), stop);
    }

    // The real holders of published ports are the runtimes' plumbing, whole-named, and never
    // remedied by stopping the daemon's unit; a program merely named like one is not plumbing.
    void plumbingOfRealRuntimes_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("lines");
        const int forwarder = int(ProcessIdentity::Role::containerForwarder);
        QTest::newRow("docker-proxy in docker.service")
            << u"docker/proc-holder-docker-proxy"_s << forwarder
            << u"Role: Docker's port forwarder\nForwards: 127.0.0.1:18080 to 172.17.0.2:80"_s;
        QTest::newRow("dockerd without its proxy")
            << u"docker-noproxy/proc-holder-dockerd"_s
            << int(ProcessIdentity::Role::containerDaemon) << u"Role: the Docker daemon"_s;
        QTest::newRow("conmon") << u"podman/proc-holder-conmon"_s << forwarder
                                << u"Role: Podman's container monitor"_s;
        QTest::newRow("rootlessport") << u"podman-rootless/proc-holder-rootlessport"_s << forwarder
                                      << u"Role: Podman's port forwarder"_s;
        QTest::newRow("slirp4netns") << u"podman-rootless/proc-slirp4netns"_s << forwarder
                                     << u"Role: Podman's port forwarder"_s;
    }
    void plumbingOfRealRuntimes() {
        QFETCH(QString, folder);
        QFETCH(int, role);
        QFETCH(QString, lines);
        const ProcessIdentity identity = capturedIdentity(folder);
        QCOMPARE(int(identity.role), role);
        QVERIFY2(identity.summary().endsWith(u"Parent: PID 1\n"_s + lines),
                 qPrintable(identity.summary()));
        QCOMPARE(identity.serviceKind, ProcessIdentity::ServiceKind::none);
        QCOMPARE(identity.stopCommand(), QString());

        ProcessIdentity::ProcTexts impostor;
        impostor.comm = "docker-proxy\n";
        impostor.cmdline = "sleep\0-host-port\0"
                           "80\0"_ba;
        impostor.executable = u"/usr/bin/sleep"_s;
        QCOMPARE(ProcessIdentity::parse(impostor, 100).role, ProcessIdentity::Role::ordinary);
    }

    // The kernel cuts a name at 15 bytes, lsof at 9: the program's file name goes on.
    void wholeNames() {
        ProcessIdentity::ProcTexts texts{
            "rootlesskit-doc\n", "rootlesskit-docker-proxy\0-a\0"_ba, {}, {}, {}, {}, {}, {}};
        const ProcessIdentity identity = ProcessIdentity::parse(texts, 100);
        QCOMPARE(identity.wholeName(u"rootlessk"_s), u"rootlesskit-docker-proxy"_s);
        QCOMPARE(identity.role, ProcessIdentity::Role::containerForwarder);
        QCOMPARE(identity.wholeName(u"Web\\x20Co"_s), u"Web\\x20Co"_s);
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
