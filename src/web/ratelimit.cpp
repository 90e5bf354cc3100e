#include "ratelimit.h"

#include <QtMath>

#include <algorithm>

#include <limits>

RateLimiter::RateLimiter(qint64 bytesPerSecond)
    : m_rate(qMax<qint64>(1, bytesPerSecond))
    // A tenth of a second of the limit, and never less than one small read.
    , m_burst(qMax<qint64>(m_rate / 10, 1024))
    , m_budget(double(m_burst))
{
    m_clock.start();
}

std::shared_ptr<RateLimiter> RateLimiter::make(qint64 bytesPerSecond)
{
    if (bytesPerSecond <= 0)
        return {};
    return std::make_shared<RateLimiter>(bytesPerSecond);
}

void RateLimiter::refill()
{
    const qint64 now = m_clock.nsecsElapsed();
    m_budget = qMin(double(m_burst), m_budget + double(now - m_lastNs) * double(m_rate) / 1e9);
    m_lastNs = now;
}

qint64 RateLimiter::take(qint64 wanted)
{
    const std::lock_guard lock(m_mutex);
    refill();
    const qint64 granted = qBound<qint64>(0, qint64(m_budget), qMax<qint64>(0, wanted));
    m_budget -= double(granted);
    return granted;
}

int RateLimiter::waitMs(qint64 wanted)
{
    const std::lock_guard lock(m_mutex);
    refill();
    const double missing = double(qMin(qMax<qint64>(1, wanted), m_burst)) - m_budget;
    if (missing <= 0)
        return 0;
    return qMax(1, qCeil(missing * 1000.0 / double(m_rate)));
}

std::optional<qint64> parseRate(const QString &text)
{
    QString number = text.trimmed();
    qint64 unit = 1;
    if (number.endsWith(u'k', Qt::CaseInsensitive))
        unit = 1024;
    else if (number.endsWith(u'm', Qt::CaseInsensitive))
        unit = 1024 * 1024;
    if (unit != 1)
        number.chop(1);
    // Digits alone: no sign, no blank between the number and its unit.
    if (number.isEmpty() || !std::all_of(number.cbegin(), number.cend(), [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
        return std::nullopt;
    bool ok = false;
    const qint64 value = number.toLongLong(&ok);
    if (!ok || value <= 0 || value > std::numeric_limits<qint64>::max() / unit)
        return std::nullopt;
    return value * unit;
}
