#pragma once

#include <QtGlobal>
#include <chrono>
#include <functional>
#include <qcoro/qcorotask.h>
#include <sys/types.h>

// The signature the kill flow uses to see a signalled process go; tests may leave it out.
using AwaitExit = std::function<QCoro::Task<bool>(pid_t pid, std::chrono::milliseconds timeout)>;

namespace ProcessExit {

// True once `pid` has exited (a PID that is already gone has), false when it still runs after
// `timeout`. Waits on a pidfd on a background thread, so the caller's thread stays free.
QCoro::Task<bool> waitForExit(pid_t pid, std::chrono::milliseconds timeout);

} // namespace ProcessExit
