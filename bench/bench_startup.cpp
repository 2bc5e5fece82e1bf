// Start-up against the smallest Qt Quick window of the same size, launched in turn on the same
// display and scene graph: time to the first frame the render loop reports, and resident memory
// once that frame is up. Needs an X display (run-bench.sh gives it one).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Launch {
    double firstFrameMs = -1;
    double rssMiB = -1;
};

double rssMiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

// The threaded loop logs "Frame prepared", the basic and software loops "Frame rendered".
Launch launch(const QString &program, const QString &backend) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("qt.scenegraph.time.renderloop=true"));
    environment.remove(QStringLiteral("QT_QUICK_BACKEND"));
    if (!backend.isEmpty())
        environment.insert(QStringLiteral("QT_QUICK_BACKEND"), backend);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    Launch result;
    QByteArray output;
    while (result.firstFrameMs < 0 && process.waitForReadyRead(20000)) {
        output += process.readAll();
        if (output.contains("Frame prepared") || output.contains("Frame rendered"))
            result.firstFrameMs = clock.nsecsElapsed() / 1e6;
    }
    QThread::msleep(1000); // let the start settle before reading memory
    result.rssMiB = rssMiB(process.processId());
    process.kill();
    process.waitForFinished();
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_startup: needs an X display\n");
        return 0;
    }
    const QString quaymeter = QStringLiteral(QUAYMETER_PROGRAM);
    const QString minimal = QStringLiteral(QUAYMETER_MINIMAL_WINDOW);
    constexpr int launches = 7;
    // What the program picks by itself here: no GPU render node means Qt's software scene graph.
    const bool gpu = !QDir(QStringLiteral("/dev/dri"))
                          .entryList({QStringLiteral("renderD*")}, QDir::System)
                          .isEmpty();
    const QString picked = qEnvironmentVariable(
        "QT_QUICK_BACKEND", gpu ? QStringLiteral("opengl") : QStringLiteral("software"));
    std::printf("backend: %s\n", qPrintable(picked));
    for (const QString &backend : {QStringLiteral("opengl"), QStringLiteral("software")}) {
        std::vector<double> appMs, minimalMs, appRss, minimalRss;
        launch(quaymeter, backend); // warm the file cache
        for (int i = 0; i < launches; ++i) {
            const Launch a = launch(quaymeter, backend);
            const Launch m = launch(minimal, backend);
            appMs.push_back(a.firstFrameMs);
            minimalMs.push_back(m.firstFrameMs);
            appRss.push_back(a.rssMiB);
            minimalRss.push_back(m.rssMiB);
        }
        // The figures of the backend the program picks carry no suffix.
        const QByteArray suffix = backend == picked ? "" : "_" + backend.toLatin1();
        std::printf("startup_ms%s: %.1f\n", suffix.constData(), median(appMs));
        std::printf("startup_minimal_ms%s: %.1f\n", suffix.constData(), median(minimalMs));
        std::printf("startup_ratio%s: %.2f\n", suffix.constData(),
                    median(appMs) / median(minimalMs));
        std::printf("rss_mib%s: %.1f\n", suffix.constData(), median(appRss));
        std::printf("rss_minimal_mib%s: %.1f\n", suffix.constData(), median(minimalRss));
        std::printf("rss_ratio%s: %.2f\n", suffix.constData(), median(appRss) / median(minimalRss));
    }
    return 0;
}
