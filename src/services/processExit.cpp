#include "processExit.h"

#include "blockingWaitPool.h"

#include <QDeadlineTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>
#include <poll.h>
#include <qcoro/qcorofuture.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool waitForExitBlocking(pid_t pid, std::chrono::milliseconds timeout) {
    const int fd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
        // Gone already, or a kernel without pidfds: either way nothing here can tell that it
        // still runs, and the re-scan will show it if it does.
        return true;
    }
    const QDeadlineTimer deadline(timeout);
    pollfd polled{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&polled, 1, int(deadline.remainingTime()));
    } while (ready < 0 && errno == EINTR);
    ::close(fd);
    return ready != 0;
}

} // namespace

namespace ProcessExit {

QCoro::Task<bool> waitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    auto waiting = QtConcurrent::run(blockingWaitPool(), waitForExitBlocking, pid, timeout);
    co_return co_await waiting;
}

} // namespace ProcessExit
