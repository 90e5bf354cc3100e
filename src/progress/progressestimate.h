#pragma once

#include <QtGlobal>

#include <optional>

// The rate and time left of a long download, from how many pictures were
// done when. Time spent paused counts for neither; the clock is passed in,
// so the arithmetic is the same in a test as in the window.
class ProgressEstimate
{
public:
    // Pictures that must have arrived before a rate is given: the first few
    // come after collection and say little about the pace.
    static constexpr int MinPictures = 3;

    void reset(int total, qint64 nowMs);
    void setTotal(int total) { m_total = total; }
    // `done` pictures (of the album) are finished at `nowMs`.
    void update(int done, qint64 nowMs);
    void pause(qint64 nowMs);
    void resume(qint64 nowMs);

    int done() const { return m_done; }
    int total() const { return m_total; }
    bool isPaused() const { return m_pausedAt >= 0; }
    // Pictures per second, once enough have arrived.
    std::optional<double> rate() const;
    // Milliseconds until the last picture at that rate.
    std::optional<qint64> remainingMs() const;

private:
    int m_total = 0;
    int m_done = 0;
    // The first picture starts the clock; the rate counts those after it.
    int m_firstDone = -1;
    qint64 m_firstAt = 0;
    qint64 m_lastAt = 0;
    qint64 m_pausedTotal = 0; // paused since the first picture
    qint64 m_pausedAt = -1;
    qint64 m_pausedBeforeLast = 0;
};
