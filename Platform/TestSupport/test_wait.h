// Waiting in tests for a condition that another thread, process or the event loop makes true.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

namespace corvtest {

// How many times slower the address and undefined-behaviour checks (CORV_SANITIZE) make the code
// under test: a test that loads the program at a fixed rate and bounds its delays stretches both
// by this much.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSanitizerSlowdown = 3;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSanitizerSlowdown = 3;
#else
constexpr int kSanitizerSlowdown = 1;
#endif
#else
constexpr int kSanitizerSlowdown = 1;
#endif

// Polls 'condition' while serving this thread's events; true as soon as it holds, false when
// 'timeoutMs' ran out first.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

} // namespace corvtest
