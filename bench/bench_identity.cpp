// Prints `name: value` lines: what reading a listener's identity adds to a scan, and how soon
// after a killed process is gone the wait before the re-scan lets go.
#include "listenerGroup.h"
#include "processExit.h"
#include "processIdentity.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

QCoro::Task<> awaitExit(pid_t pid, bool &exited, QEventLoop &loop) {
    auto waiting = ProcessExit::waitForExit(pid, std::chrono::milliseconds(2000));
    exited = co_await waiting;
    loop.quit();
}

// From SIGKILL to the waiting coroutine running again on this thread.
double exitNoticedMs() {
    const pid_t child = ::fork();
    if (child == 0) {
        for (;;)
            ::pause();
    }
    QEventLoop loop;
    bool exited = false;
    QElapsedTimer timer;
    timer.start();
    auto task = awaitExit(child, exited, loop);
    ::kill(child, SIGKILL);
    loop.exec();
    const double ms = timer.nsecsElapsed() / 1e6;
    ::waitpid(child, nullptr, 0);
    if (!exited)
        std::fprintf(stderr, "the wait missed the exit of %d\n", child);
    return ms;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const ListenerGroup listener(1);
    if (!listener.isListening()) {
        std::fprintf(stderr, "cannot listen on loopback\n");
        return 1;
    }
    const pid_t pid = listener.children().constFirst();
    std::vector<double> reads, exits;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer timer;
        timer.start();
        const ProcessIdentity identity = ProcessIdentity::read(pid);
        reads.push_back(timer.nsecsElapsed() / 1e3);
        if (identity.commandLine.isEmpty())
            std::fprintf(stderr, "no command line for %d\n", pid);
    }
    for (int i = 0; i < 30; ++i)
        exits.push_back(exitNoticedMs());
    std::printf("identity_read_median_us: %.1f\n", median(reads));
    std::printf("exit_noticed_median_ms: %.3f\n", median(exits));
    return 0;
}
