#pragma once

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <functional>

// Runs the GUI thread's event loop until `done` holds as the loop goes idle, or `timeoutMs`
// passes. Unlike QTest::qWaitFor it never sleeps between turns: such a sleep would hold up the
// very work being timed, and show up as a stall of its own.
inline bool runUntil(const std::function<bool()> &done, int timeoutMs = 30000) {
    if (done())
        return true;
    QEventLoop loop;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &loop, [&] {
                         if (done())
                             loop.quit();
                     });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// The longest gap between two turns of the GUI thread's event loop, from `start` until `settled`.
class StallMeter {
public:
    StallMeter() {
        m_ticker.setInterval(1);
        m_ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_clock.nsecsElapsed() / 1e6);
            m_clock.restart();
        });
    }
    double measure(const std::function<void()> &start, const std::function<bool()> &settled) {
        m_longest = 0;
        m_clock.start();
        m_ticker.start();
        start();
        const bool done = runUntil(settled);
        runUntil([] { return false; }, 200); // what the last answer sets off
        m_ticker.stop();
        return done ? m_longest : -1;
    }

private:
    QTimer m_ticker;
    QElapsedTimer m_clock;
    double m_longest = 0;
};
