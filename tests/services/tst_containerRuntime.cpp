#include "awaitTask.h"
#include "captures.h"
#include "containerRuntime.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString socket = u"/tmp/quaymeter-docker-gqoqq671/docker.sock"_s;
const RuntimeEndpoint dockerAt{u"Docker"_s, u"/usr/bin/docker"_s, socket};
const RuntimeEndpoint podman{u"Podman"_s, u"/usr/bin/podman"_s, {}};

// Answers every run at once with what the real tool printed, and keeps the command lines.
struct CannedRunner {
    CommandResult answer;
    QList<QStringList> calls;

    RunStoppableCommand run() {
        return [this](const QString &program, const QStringList &arguments,
                      std::stop_token) -> QCoro::Task<CommandResult> {
            calls << (QStringList{program} + arguments);
            co_return answer;
        };
    }
    ContainerRuntime runtime(QList<RuntimeEndpoint> present) {
        return ContainerRuntime(run(), [present] { return present; });
    }
};

} // namespace

Q_DECLARE_METATYPE(RuntimeEndpoint)

class TestContainerRuntime : public QObject {
    Q_OBJECT

private slots:
    void namesThePublisherOfAHostPort_data() {
        QTest::addColumn<RuntimeEndpoint>("endpoint");
        QTest::addColumn<QString>("output");
        QTest::addColumn<qint64>("port");
        QTest::addColumn<QString>("named");
        const QString web = u"Docker container qm-web (455bf5a2d39c), image qm-busybox"_s;
        QTest::newRow("docker, beside a --network none container")
            << dockerAt << u"docker/ps-all-json.stdout"_s << qint64(18080) << web;
        QTest::newRow("docker 28's client")
            << dockerAt << u"docker/ps-match-v28.stdout"_s << qint64(18080) << web;
        QTest::newRow("the container's own port is not the host's")
            << dockerAt << u"docker/ps-all-json.stdout"_s << qint64(80) << QString();
        QTest::newRow("podman as root")
            << podman << u"podman/ps-json.stdout"_s << qint64(18082)
            << u"Podman container qm-web (2c4e28b20a64), image localhost/qm-busybox:latest"_s;
        QTest::newRow("rootless podman")
            << podman << u"podman-rootless/ps-json.stdout"_s << qint64(18083)
            << u"Podman container qm-web (f382e6393c66), image localhost/qm-busybox:latest"_s;
        QTest::newRow("podman, another port")
            << podman << u"podman/ps-json.stdout"_s << qint64(18083) << QString();
    }
    void namesThePublisherOfAHostPort() {
        QFETCH(RuntimeEndpoint, endpoint);
        QFETCH(QString, output);
        QFETCH(qint64, port);
        QFETCH(QString, named);
        CannedRunner runner{capturedRun(output), {}};
        const ContainerLookup lookup = awaitTask(runner.runtime({endpoint}).publisherOf(port));
        QCOMPARE(lookup.container ? lookup.container->description() : QString(), named);
        QCOMPARE(lookup.notes, QStringList());
        const QStringList asked =
            endpoint.runtime == u"Docker"_s
                ? QStringList{endpoint.program, u"-H"_s,       u"unix://"_s + socket,
                              u"ps"_s,          u"--format"_s, u"{{json .}}"_s}
                : QStringList{endpoint.program, u"ps"_s, u"--format"_s, u"json"_s};
        QCOMPARE(runner.calls.value(0), asked);
        QVERIFY(ContainerRuntime::dockerPortsPublish(
            u"0.0.0.0:8000-8001->8000-8001/tcp, :::18080->80/tcp"_s, 8001));
    }

    // A runtime that refuses, is stopped or hangs gives a plain line and no name; without any
    // runtime nothing runs at all.
    void saysWhyARuntimeCouldNotBeAsked() {
        CannedRunner refused = CannedRunner{capturedRun(u"docker/ps-nopermission.stderr"_s, 1), {}};
        QCOMPARE(awaitTask(refused.runtime({dockerAt}).publisherOf(18080)).notes,
                 QStringList{u"Docker could not be asked: permission denied."_s});
        CannedRunner stopped =
            CannedRunner{capturedRun(u"docker-noproxy/ps-daemon-stopped.stderr"_s, 1), {}};
        QCOMPARE(awaitTask(stopped.runtime({dockerAt}).publisherOf(18081)).notes,
                 QStringList{u"Docker is not answering."_s});
        CannedRunner none;
        QVERIFY(!awaitTask(none.runtime({}).publisherOf(18080)).container);
        QVERIFY(none.calls.isEmpty());

        QTemporaryDir dir;
        const QString hanging = dir.filePath(u"docker"_s);
        QFile script(hanging);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexec sleep 30\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        const ContainerRuntime slow(
            CommandRunner::runStoppable,
            [&] {
                return QList<RuntimeEndpoint>{{u"Docker"_s, hanging, socket}};
            },
            std::chrono::milliseconds(200));
        QCOMPARE(awaitTask(slow.publisherOf(18080)).notes,
                 QStringList{u"Docker did not answer within 0.2 s."_s});
    }

    // Podman prints its warnings first: the reason is the error it ended with.
    void stopsARootContainerAsTheUser() {
        CannedRunner runner = CannedRunner{capturedRun(u"podman/stop-as-nobody.stderr"_s, 125), {}};
        const PublishedContainer root{u"Podman"_s, u"2c4e28b20a647abe28de"_s, {}, {}, {}, {}};
        bool refused = false;
        QCOMPARE(
            awaitTask(runner.runtime({}).stop(root, &refused)),
            u"Error: no container with name or ID \"2c4e28b20a64\" found: no such container"_s);
        QVERIFY(!refused);
        QCOMPARE(runner.calls.value(0), (QStringList{{}, u"stop"_s, u"2c4e28b20a647abe28de"_s}));
    }
};

QTEST_GUILESS_MAIN(TestContainerRuntime)
#include "tst_containerRuntime.moc"
