#include "progressestimate.h"

void ProgressEstimate::reset(int total, qint64 nowMs)
{
    *this = ProgressEstimate();
    m_total = total;
    m_lastAt = nowMs;
}

void ProgressEstimate::update(int done, qint64 nowMs)
{
    m_done = done;
    m_lastAt = nowMs;
    if (m_firstDone < 0 && done > 0) {
        m_firstDone = done;
        m_firstAt = nowMs;
        m_pausedTotal = 0;
    }
    // A pause that began after this picture does not slow its rate down.
    m_pausedBeforeLast = m_pausedTotal + (isPaused() ? nowMs - qMax(m_pausedAt, m_firstAt) : 0);
}

void ProgressEstimate::pause(qint64 nowMs)
{
    if (m_pausedAt < 0)
        m_pausedAt = nowMs;
}

void ProgressEstimate::resume(qint64 nowMs)
{
    if (m_pausedAt < 0)
        return;
    // Only a pause after the clock started takes time off it.
    if (m_firstDone >= 0)
        m_pausedTotal += nowMs - qMax(m_pausedAt, m_firstAt);
    m_pausedAt = -1;
}


std::optional<double> ProgressEstimate::rate() const
{
    if (m_firstDone < 0 || m_done - m_firstDone < MinPictures)
        return std::nullopt;
    const qint64 ms = m_lastAt - m_firstAt - m_pausedBeforeLast;
    if (ms <= 0)
        return std::nullopt;
    return (m_done - m_firstDone) * 1000.0 / double(ms);
}

std::optional<qint64> ProgressEstimate::remainingMs() const
{
    const std::optional<double> perSecond = rate();
    if (!perSecond)
        return std::nullopt;
    return qint64(qMax(0, m_total - m_done) * 1000.0 / *perSecond + 0.5);
}
