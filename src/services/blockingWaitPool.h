#pragma once

#include <QThreadPool>

// Waits that block a thread for seconds (a process's exit, a port's next listener) run here, so
// they never hold up users of the global pool.
inline QThreadPool *blockingWaitPool() {
    static QThreadPool *const pool = [] {
        auto *p = new QThreadPool; // lives as long as the process: threads may still be waiting
        p->setMaxThreadCount(8);
        return p;
    }();
    return pool;
}
