#include "processExit.h"

#include "blockingWaitPool.h"

#include <QDeadlineTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <qcoro/qcorofuture.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool waitForExitBlocking(pid_t pid, std::chrono::milliseconds timeout, std::stop_token stop) {
    const int fd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
        // Gone already, or a kernel without pidfds: either way nothing here can tell that it
        // still runs, and the re-scan will show it if it does.
        return true;
    }
    // A stop request wakes the poll at once, from whichever thread asks.
    const int woken = ::eventfd(0, EFD_CLOEXEC);
    bool exited = false;
    {
        const std::stop_callback wake(stop, [woken] {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(woken, &one, sizeof one);
        });
        const QDeadlineTimer deadline = timeout == ProcessExit::untilStopped
                                            ? QDeadlineTimer(QDeadlineTimer::Forever)
                                            : QDeadlineTimer(timeout);
        pollfd polled[2] = {{fd, POLLIN, 0}, {woken, POLLIN, 0}};
        int ready = 0;
        do {
            ready = ::poll(polled, woken < 0 ? 1 : 2, int(deadline.remainingTime()));
        } while (ready < 0 && errno == EINTR);
        exited = polled[0].revents != 0;
    } // the callback is gone before its descriptor closes
    ::close(fd);
    if (woken >= 0) {
        ::close(woken);
    }
    return exited;
}

} // namespace

namespace ProcessExit {

QCoro::Task<bool> waitForExit(pid_t pid, std::chrono::milliseconds timeout, std::stop_token stop) {
    auto waiting = QtConcurrent::run(blockingWaitPool(), waitForExitBlocking, pid, timeout, stop);
    co_return co_await waiting;
}

} // namespace ProcessExit
