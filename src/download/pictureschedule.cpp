#include "pictureschedule.h"

#include <QtGlobal>

PictureSchedule::PictureSchedule(int maxInFlight, bool handOver)
    : m_max(qBound(1, maxInFlight, JobSettings::MaxInFlight))
    , m_limit(m_max)
    , m_handOver(handOver)
{
}

void PictureSchedule::appendPages(const QStringList &pages)
{
    for (qsizetype i = size(); i < pages.size(); ++i) {
        auto item = std::make_unique<ScheduledPicture>();
        item->page = pages.at(i);
        m_items.push_back(std::move(item));
    }
}

void PictureSchedule::reported()
{
    m_items.pop_front();
    ++m_nextToReport;
}

PictureSchedule::Next PictureSchedule::next(bool collecting, qint64 nowMs)
{
    if (nowMs < m_throttledUntilMs)
        return {-1, int(qMax<qint64>(1, m_throttledUntilMs - nowMs))};
    const int limit = wireLimit(collecting) * (m_handOver ? 2 : 1);
    // Look ahead a little only: downloaded pictures wait on disk for their
    // turn to be named.
    while (m_working < limit && m_nextToStart < size() && m_nextToStart < m_nextToReport + 4 * m_limit) {
        // An item handed back is started again in its turn; those after it
        // that are on their way or done are passed over.
        const int index = m_nextToStart++;
        ScheduledPicture &item = at(index);
        if (item.stage != ScheduledPicture::Stage::Queued)
            continue;
        item.stage = ScheduledPicture::Stage::Working;
        ++m_working;
        return {index, 0};
    }
    return {};
}

void PictureSchedule::done(int index, bool failed)
{
    at(index).stage = ScheduledPicture::Stage::Done;
    --m_working;
    if (m_limit < m_max && !failed && ++m_goodSinceThrottle >= 2 * m_limit) {
        // The site has kept up for a while: take one more at once again.
        ++m_limit;
        m_goodSinceThrottle = 0;
    }
}

void PictureSchedule::putBack(int index)
{
    ScheduledPicture &item = at(index);
    if (item.stage == ScheduledPicture::Stage::Working)
        --m_working;
    item.stage = ScheduledPicture::Stage::Queued;
    m_nextToStart = qMin(m_nextToStart, index);
}

void PictureSchedule::resumeWork(int index)
{
    at(index).stage = ScheduledPicture::Stage::Working;
    ++m_working;
}

void PictureSchedule::throttled(int retryAfterMs, qint64 nowMs)
{
    // Fewer at once, and nothing new until the site's wait is over; the
    // request itself waits and asks again.
    m_limit = qMax(1, m_limit / 2);
    m_goodSinceThrottle = 0;
    const qint64 until = nowMs + (retryAfterMs >= 0 ? retryAfterMs : ThrottleWaitMs);
    m_throttledUntilMs = qMax(m_throttledUntilMs, until);
}

QStringList PictureSchedule::unreportedPages() const
{
    QStringList out;
    for (const auto &item : m_items)
        out << item->page;
    return out;
}

QStringList PictureSchedule::picturesOnTheirWay() const
{
    QStringList out;
    for (const auto &item : m_items)
        if (!item->picture.isEmpty() && item->stage != ScheduledPicture::Stage::Queued)
            out << item->picture;
    return out;
}
