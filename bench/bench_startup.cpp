// Start-up against two yardsticks launched in turn on the same display and scene graph: the
// smallest Qt Quick window of the same size, and the floor, a window built from the program's
// ingredients alone. Measured: time to the first frame the render loop reports, the CPU time all
// threads spent until then, and resident memory at that frame and once the start has settled.
// Then, once started, what a quiet window costs: frames while nothing happens, and frames and CPU
// time while only the port field's cursor blinks. Needs an X display (run-bench.sh gives it one).
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
    double cpuMs = -1;
    double firstFrameRssMiB = -1;
    double rssMiB = -1;
};

// The run time of every thread alive, to the nanosecond (the clock ticks of /proc/PID/stat
// are 10 ms, too coarse for a start of a few hundred).
double cpuMs(qint64 pid) {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    double total = 0;
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly))
            total += schedstat.readAll().split(' ').value(0).toDouble() / 1e6;
    }
    return total;
}

double rssMiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

// Starts `program` on the X display and scene graph given, with the render loop's timing log on.
void start(QProcess &process, const QString &program, const QString &backend) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("qt.scenegraph.time.renderloop=true"));
    environment.remove(QStringLiteral("QT_QUICK_BACKEND"));
    if (!backend.isEmpty())
        environment.insert(QStringLiteral("QT_QUICK_BACKEND"), backend);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {});
}

// The threaded loop logs "Frame prepared" on the GUI thread for each frame, the basic and
// software loops "Frame rendered".
int frames(const QByteArray &log) {
    return log.count("Frame prepared") + log.count("Frame rendered");
}

bool waitForFirstFrame(QProcess &process) {
    QByteArray output;
    while (process.waitForReadyRead(20000)) {
        output += process.readAll();
        if (frames(output) > 0)
            return true;
    }
    return false;
}

// The log of the next `ms` milliseconds.
QByteArray logFor(QProcess &process, int ms) {
    QElapsedTimer clock;
    clock.start();
    QByteArray output = process.readAll();
    while (clock.elapsed() < ms) {
        process.waitForReadyRead(int(ms - clock.elapsed()));
        output += process.readAll();
    }
    return output;
}

Launch launch(const QString &program, const QString &backend) {
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    start(process, program, backend);
    Launch result;
    QByteArray output;
    while (result.firstFrameMs < 0 && process.waitForReadyRead(20000)) {
        output += process.readAll();
        if (output.contains("Frame prepared") || output.contains("Frame rendered")) {
            result.firstFrameMs = clock.nsecsElapsed() / 1e6;
            result.cpuMs = cpuMs(process.processId());
            result.firstFrameRssMiB = rssMiB(process.processId());
        }
    }
    QThread::msleep(1000); // let the start settle before reading memory
    result.rssMiB = rssMiB(process.processId());
    process.kill();
    process.waitForFinished();
    return result;
}

bool xdotool(const QStringList &arguments, QByteArray *output = nullptr) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    const bool ran = tool.waitForFinished(10000) && tool.exitCode() == 0;
    if (output)
        *output = tool.readAllStandardOutput();
    return ran;
}

struct Quiet {
    double idleFramesPerS = -1;
    double blinkFramesPerS = -1;
    double blinkCpuMsPerS = -1;
};

// Once started: frames drawn while nothing happens in the focused window, then frames and CPU
// time while the first control that Tab reaches (the port field) has focus and only its cursor
// blinks. Without a window manager, xdotool gives the window the keyboard itself.
Quiet quiet(const QString &program, const QString &backend) {
    QProcess process;
    start(process, program, backend);
    Quiet result;
    QByteArray windows;
    if (!waitForFirstFrame(process) ||
        !xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--pid"),
                  QString::number(process.processId())},
                 &windows)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    const QString window = QString::fromLatin1(windows.split('\n').value(0));
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    logFor(process, 1500); // the start's own frames
    constexpr int idleMs = 3000, blinkMs = 5000;
    result.idleFramesPerS = frames(logFor(process, idleMs)) * 1000.0 / idleMs;
    xdotool({QStringLiteral("key"), QStringLiteral("Tab")});
    logFor(process, 700);
    const double cpuBefore = cpuMs(process.processId());
    result.blinkFramesPerS = frames(logFor(process, blinkMs)) * 1000.0 / blinkMs;
    result.blinkCpuMsPerS = (cpuMs(process.processId()) - cpuBefore) * 1000.0 / blinkMs;
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
    // Another build of the program can be measured against the same yardsticks.
    const QString quaymeter =
        qEnvironmentVariable("QUAYMETER_BENCH_PROGRAM", QStringLiteral(QUAYMETER_PROGRAM));
    const QString minimal = QStringLiteral(QUAYMETER_MINIMAL_WINDOW);
    const QString floor = QStringLiteral(QUAYMETER_FLOOR_WINDOW);
    // Two cores shared with other work make single launches swing: medians of many, in turn. Nine
    // left the ratios swinging by 0.05 between runs.
    const int launches = std::max(15, qEnvironmentVariableIntValue("QUAYMETER_BENCH_LAUNCHES"));
    // What the program picks by itself here: no GPU render node means Qt's software scene graph.
    const bool gpu = !QDir(QStringLiteral("/dev/dri"))
                          .entryList({QStringLiteral("renderD*")}, QDir::System)
                          .isEmpty();
    const QString picked = qEnvironmentVariable(
        "QT_QUICK_BACKEND", gpu ? QStringLiteral("opengl") : QStringLiteral("software"));
    std::printf("backend: %s\n", qPrintable(picked));
    constexpr int quietLaunches = 3;
    std::printf("startup_launches: %d\n", launches);
    for (const QString &backend : {QStringLiteral("opengl"), QStringLiteral("software")}) {
        const QString programs[] = {quaymeter, minimal, floor};
        std::vector<Launch> runs[3];
        for (const QString &program : programs)
            launch(program, backend); // warm the file cache
        for (int i = 0; i < launches; ++i) {
            // Each program goes first in turn, so none always meets a machine just woken.
            for (int p = 0; p < 3; ++p) {
                const int which = (i + p) % 3;
                runs[which].push_back(launch(programs[which], backend));
            }
        }
        auto medianOf = [](const std::vector<Launch> &launches, double Launch::*field) {
            std::vector<double> values;
            for (const Launch &l : launches)
                values.push_back(l.*field);
            return median(values);
        };
        const std::vector<Launch> &app = runs[0], &bare = runs[1], &same = runs[2];
        // The figures of the backend the program picks carry no suffix.
        const QByteArray suffix = backend == picked ? "" : "_" + backend.toLatin1();
        auto print = [&suffix](const char *name, double value) {
            std::printf("%s%s: %.2f\n", name, suffix.constData(), value);
        };
        auto ratio = [&](const std::vector<Launch> &yardstick, double Launch::*field) {
            return medianOf(app, field) / medianOf(yardstick, field);
        };
        print("startup_ms", medianOf(app, &Launch::firstFrameMs));
        print("startup_minimal_ms", medianOf(bare, &Launch::firstFrameMs));
        print("startup_floor_ms", medianOf(same, &Launch::firstFrameMs));
        print("startup_ratio", ratio(bare, &Launch::firstFrameMs));
        print("startup_ratio_floor", ratio(same, &Launch::firstFrameMs));
        print("cpu_ms", medianOf(app, &Launch::cpuMs));
        print("cpu_floor_ms", medianOf(same, &Launch::cpuMs));
        print("cpu_ratio_floor", ratio(same, &Launch::cpuMs));
        print("rss_mib", medianOf(app, &Launch::rssMiB));
        print("rss_minimal_mib", medianOf(bare, &Launch::rssMiB));
        print("rss_floor_mib", medianOf(same, &Launch::rssMiB));
        print("rss_ratio", ratio(bare, &Launch::rssMiB));
        print("rss_ratio_floor", ratio(same, &Launch::rssMiB));
        print("rss_first_frame_mib", medianOf(app, &Launch::firstFrameRssMiB));
        print("rss_first_frame_floor_mib", medianOf(same, &Launch::firstFrameRssMiB));
        print("rss_first_frame_ratio_floor", ratio(same, &Launch::firstFrameRssMiB));

        std::vector<double> idleFps, blinkFps, blinkCpu, floorBlinkCpu;
        for (int i = 0; i < quietLaunches; ++i) {
            const Quiet app = quiet(quaymeter, backend);
            const Quiet same = quiet(floor, backend);
            idleFps.push_back(app.idleFramesPerS);
            blinkFps.push_back(app.blinkFramesPerS);
            blinkCpu.push_back(app.blinkCpuMsPerS);
            floorBlinkCpu.push_back(same.blinkCpuMsPerS);
        }
        print("idle_frames_per_s", median(idleFps));
        print("blink_frames_per_s", median(blinkFps));
        print("blink_cpu_ms_per_s", median(blinkCpu));
        print("blink_cpu_floor_ms_per_s", median(floorBlinkCpu));
        print("blink_cpu_ratio_floor", median(blinkCpu) / median(floorBlinkCpu));
    }
    return 0;
}
