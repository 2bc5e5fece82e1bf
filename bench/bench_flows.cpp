// Prints `name: value` lines about the scan and kill flows of a real InspectorState: what 1,000
// back-to-back scans leave behind, how soon a kill lands while 32 scans hang, the longest
// stall of the GUI thread while a tool prints 8 MiB on each stream, and what watching a port that
// a kill freed costs.
#include "inspectorState.h"
#include "listenerGroup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <numeric>
#include <vector>

namespace {

double residentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

qsizetype openDescriptors() {
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

bool ended(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
}

// Runs the event loop until `done` holds or `timeoutMs` pass; returns whether it held.
template <typename Done> bool spinUntil(Done done, int timeoutMs = 30000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

bool scanToTheEnd(InspectorState &state, quint16 port) {
    bool finished = false;
    const QMetaObject::Connection watch =
        QObject::connect(&state, &InspectorState::statusChanged,
                         [&] { finished = state.status() != ScanStatus::scanning; });
    state.setPortText(QString::number(port));
    state.startScan();
    const bool done = spinUntil([&] { return finished; });
    QObject::disconnect(watch);
    return done;
}

void scansLeaveNothingBehind() {
    const ListenerGroup listener(1);
    InspectorState state;
    for (int i = 0; i < 20; ++i) // threads, caches and the allocator settle first
        scanToTheEnd(state, listener.port());
    // Every thread of Qt's pool holds an event descriptor of its own: count only what scans keep.
    QThreadPool::globalInstance()->waitForDone();
    const double rss = residentMiB();
    const qsizetype fds = openDescriptors();
    for (int i = 0; i < 1000; ++i) {
        if (!scanToTheEnd(state, listener.port()) || state.status() != ScanStatus::inUse) {
            std::fprintf(stderr, "scan %d did not find the listener\n", i);
            return;
        }
    }
    QThreadPool::globalInstance()->waitForDone();
    std::printf("rss_growth_1000_scans_mib: %.2f\n", residentMiB() - rss);
    std::printf("fd_growth_1000_scans: %lld\n", static_cast<long long>(openDescriptors() - fds));
}

// Worst of ten: from confirming a force kill to the listener being dead, while 32 windows wait
// on an lsof that never answers.
void killWhileScansHang() {
    const RunStoppableCommand hungLsof = [](const QString &, const QStringList &,
                                            std::stop_token stop) {
        return CommandRunner::runStoppable(QStringLiteral("/bin/sleep"), {QStringLiteral("60")},
                                           stop);
    };
    std::vector<std::unique_ptr<InspectorState>> windows;
    for (int i = 0; i < 32; ++i) {
        windows.push_back(
            std::make_unique<InspectorState>(PortScannerService(hungLsof), ProcessKillerService()));
        windows.back()->setPortText(QStringLiteral("8080"));
        windows.back()->startScan();
    }
    spinUntil([] { return false; }, 500); // every lsof started and waiting
    double worst = 0;
    InspectorState killer;
    for (int i = 0; i < 10; ++i) {
        const ListenerGroup victim(1);
        const pid_t pid = victim.children().first();
        // A kill goes only to a process the window lists.
        if (!scanToTheEnd(killer, victim.port()) || killer.processes().isEmpty()) {
            std::printf("kill_start_ms_with_32_hung_scans: never listed\n");
            return;
        }
        QElapsedTimer timer;
        timer.start();
        auto killing =
            killer.performKill({QUuid::createUuid(), killer.processes().constFirst(), true});
        if (!spinUntil([pid] { return ended(pid); }, 10000)) {
            std::printf("kill_start_ms_with_32_hung_scans: never\n");
            return;
        }
        worst = std::max(worst, timer.nsecsElapsed() / 1e6);
        spinUntil([&] { return !killer.activeKillPID(); });
    }
    std::printf("kill_start_ms_with_32_hung_scans: %.2f\n", worst);
}

// A listing in lsof's real layout of about `bytes` bytes; every PID on two lines (IPv4, IPv6).
QByteArray listing(qsizetype bytes) {
    QByteArray text = "COMMAND  PID USER   FD   TYPE DEVICE SIZE/OFF NODE NAME\n";
    for (int i = 0; text.size() < bytes; ++i)
        text += "python3 " + QByteArray::number(1000 + i / 2) +
                (i % 2 ? " root    4u  IPv6   8724      0t0  TCP [::1]:18432 (LISTEN)\n"
                       : " root    3u  IPv4   8723      0t0  TCP 127.0.0.1:18432 (LISTEN)\n");
    return text;
}

// The longest gap between ticks of a 1 ms timer on the GUI thread over three scans whose lsof
// prints 8 MiB on standard output and 8 MiB on standard error.
void guiStallWithHugeOutput() {
    const QTemporaryDir dir;
    QFile out(dir.filePath(QStringLiteral("out"))), err(dir.filePath(QStringLiteral("err")));
    out.open(QIODevice::WriteOnly);
    out.write(listing(8 << 20));
    out.close();
    err.open(QIODevice::WriteOnly);
    err.write(QByteArray(8 << 20, 'e'));
    err.close();
    const QString script = QStringLiteral("cat \"$0\"; cat \"$1\" >&2; exit 1");
    const QStringList arguments{QStringLiteral("-c"), script, out.fileName(), err.fileName()};
    const RunCommand printingLsof = [arguments](const QString &, const QStringList &) {
        return CommandRunner::run(QStringLiteral("/bin/sh"), arguments);
    };
    InspectorState state{PortScannerService(printingLsof), ProcessKillerService()};

    QElapsedTimer sinceTick;
    qint64 longestNs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestNs = std::max(longestNs, sinceTick.nsecsElapsed());
        sinceTick.start();
    });
    for (int i = 0; i < 3; ++i) {
        sinceTick.start();
        ticker.start();
        if (!scanToTheEnd(state, 18432) || state.processes().isEmpty()) {
            std::fprintf(stderr, "the 8 MiB listing was not read\n");
            return;
        }
        ticker.stop();
    }
    std::printf("gui_stall_max_ms_8mb_output: %.2f\n", longestNs / 1e6);
}

// CPU time of every thread of this process.
double cpuMs() {
    timespec spent{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &spent);
    return double(spent.tv_sec) * 1e3 + double(spent.tv_nsec) / 1e6;
}

// Runs the event loop for `ms` without spinning it.
void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A force kill of a real listener in a window with the watch of the freed port and in one without
// it, alternately: the time from confirming to "Port N is available." (median of 10 each), the
// CPU of the 3 s after it beyond what the same 3 s cost without a watch (mean of 3 each), and,
// with the watch, from a new listener binding to the window showing it (median of 5).
void watchOfAFreedPort() {
    const auto window = [](bool watched) {
        return watched
                   ? std::make_unique<InspectorState>()
                   : std::make_unique<InspectorState>(PortScannerService(), ProcessKillerService(),
                                                      nullptr, ProcessExit::waitForExit);
    };
    std::vector<double> toAvailable[2], cpu[2], rebindToShown;
    for (int i = 0; i < 25; ++i) {
        const bool watched = i % 2 == 0 || i >= 20;
        const auto state = window(watched);
        ListenerGroup victim(1);
        if (!scanToTheEnd(*state, victim.port()) || state->status() != ScanStatus::inUse) {
            std::fprintf(stderr, "the listener to kill was not found\n");
            return;
        }
        QElapsedTimer timer;
        timer.start();
        state->requestKill(state->processes().constFirst(), true);
        state->confirmPendingKill();
        if (!spinUntil([&] {
                return state->status() == ScanStatus::available && !state->activeKillPID();
            })) {
            std::fprintf(stderr, "the killed listener's port never showed as available\n");
            return;
        }
        if (i >= 20) { // a supervisor starts it again
            idle(300);
            timer.start();
            victim.add();
            if (!spinUntil([&] { return state->status() == ScanStatus::inUse; }, 3000)) {
                std::printf("watch_rebind_to_shown_ms: never\n");
                return;
            }
            rebindToShown.push_back(double(timer.nsecsElapsed()) / 1e6);
            continue;
        }
        toAvailable[watched].push_back(double(timer.nsecsElapsed()) / 1e6);
        if (i < 6) {
            const double before = cpuMs();
            idle(int(InspectorState::portWatchSpan.count()));
            cpu[watched].push_back(cpuMs() - before);
        }
    }
    const auto mean = [](const std::vector<double> &values) {
        return std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
    };
    std::printf("kill_to_available_ms_with_watch: %.2f\n", median(toAvailable[1]));
    std::printf("kill_to_available_ms_without_watch: %.2f\n", median(toAvailable[0]));
    std::printf("watch_cpu_ms_over_3s: %.2f\n", mean(cpu[1]) - mean(cpu[0]));
    std::printf("watch_rebind_to_shown_ms: %.2f\n", median(rebindToShown));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    scansLeaveNothingBehind();
    killWhileScansHang();
    guiStallWithHugeOutput();
    watchOfAFreedPort();
    return 0;
}
