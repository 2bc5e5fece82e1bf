#pragma once

#include <QtGlobal>
#include <chrono>
#include <functional>
#include <qcoro/qcorotask.h>
#include <stop_token>
#include <sys/types.h>

// The signature the kill flow uses to see a signalled process go; tests may leave it out.
using AwaitExit = std::function<QCoro::Task<bool>(pid_t pid, std::chrono::milliseconds timeout,
                                                  std::stop_token stop)>;

namespace ProcessExit {

// A timeout that never ends: the wait lasts until the process exits or a stop is requested.
inline constexpr std::chrono::milliseconds untilStopped = std::chrono::milliseconds::max();

// True once `pid` has exited (a PID that is already gone has), false when it still runs after
// `timeout` or when `stop` is requested first. Waits on a pidfd on a background thread, so the
// caller's thread stays free and the wait costs no CPU.
QCoro::Task<bool> waitForExit(pid_t pid, std::chrono::milliseconds timeout,
                              std::stop_token stop = {});

} // namespace ProcessExit
