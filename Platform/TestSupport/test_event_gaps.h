// How long the event loop of the calling thread was kept from its events: the longest gap between
// two ticks of a timer of its own.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace corvtest {

class EventGapMeter
{
public:
    explicit EventGapMeter(int nTickMs)
    {
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 nNow = m_clock.elapsed();
            m_nLongestGap = std::max(m_nLongestGap, nNow - m_nLastTick);
            m_nLastTick = nNow;
        });
        m_clock.start();
        m_tick.start(nTickMs);
    }

    // Measures again from now.
    void restart()
    {
        m_nLongestGap = 0;
        m_nLastTick = 0;
        m_clock.restart();
    }
    void stop() { m_tick.stop(); }

    qint64 longestGapMs() const { return m_nLongestGap; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

private:
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_nLastTick = 0;
    qint64 m_nLongestGap = 0;
};

} // namespace corvtest
