#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <mutex>
#include <optional>

// A download speed limit shared by the requests of one job: together they
// read no more bytes a second than it allows, however many are in flight.
// A token bucket that fills at the limit and holds a tenth of a second of
// it, so reads come in steady chunks and a pause never adds up to a burst.
// Thread-safe: requests on the transfer thread may share it with others.
class RateLimiter
{
public:
    explicit RateLimiter(qint64 bytesPerSecond);

    // A limiter for `bytesPerSecond`; none for 0 or less (no limit).
    static std::shared_ptr<RateLimiter> make(qint64 bytesPerSecond);

    qint64 bytesPerSecond() const { return m_rate; }
    // Takes up to `wanted` bytes from the budget and returns how many may be
    // read now; 0 when the budget is spent.
    qint64 take(qint64 wanted);
    // How long until `wanted` bytes (at most one burst) may be taken, in ms.
    int waitMs(qint64 wanted);

private:
    void refill();

    qint64 m_rate;
    qint64 m_burst;
    double m_budget;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    std::mutex m_mutex;
};

// A rate as curl's --limit-rate writes it: a whole number of bytes a second
// with an optional suffix k or K (1,024 bytes) or m or M (1,024 KiB), e.g.
// "500k", "2M", "1024". Nothing for an empty, malformed, zero or negative
// rate, or one too large to count.
std::optional<qint64> parseRate(const QString &text);
