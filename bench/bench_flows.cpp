// Prints `name: value` lines about the scan and kill flows of a real InspectorState: what 1,000
// back-to-back scans leave behind, how soon a kill lands while 32 scans hang, and the longest
// stall of the GUI thread while a tool prints 8 MiB on each stream.
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
#include <memory>
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
        QElapsedTimer timer;
        timer.start();
        auto killing = killer.performKill(
            {QUuid::createUuid(), {"listener1", pid, "", "", "", victim.port()}, true});
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

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    scansLeaveNothingBehind();
    killWhileScansHang();
    guiStallWithHugeOutput();
    return 0;
}
