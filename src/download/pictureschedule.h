#pragma once

#include "jobtypes.h"
#include "web/sha256.h"

#include <QByteArray>
#include <QList>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>

// One picture page of an album on its way to a report.
struct ScheduledPicture {
    enum class Stage { Queued, Working, Done };
    Stage stage = Stage::Queued;
    QString page;
    QString picture;
    // The name the picture is saved under, made once from its address.
    QString fileName;
    // Waits for an earlier item fetching the same picture.
    bool sameAsEarlier = false;
    // The downloaded file, waiting for its name in the folder, with its
    // size and hash as it came.
    QString staging;
    qint64 size = -1;
    Sha256Digest sha256;
    // What the picture page and the picture's answer said of it.
    QString caption;
    QDateTime date;
    PictureReport report;
};

// Which picture of a job to work on next, and when: the items in collection
// order with two cursors (the next to start, the next to report), how many
// are worked on at once and how far ahead of the reports, and how a site
// that asks to slow down is met (half as many at once and its wait; then
// one more each time the site has kept up). It owns no timer: the job asks
// it what to do and keeps the time itself. An item is known by its index in
// collection order; once reported it is forgotten, so a large album's items
// do not stay in memory beside what received their reports.
class PictureSchedule
{
public:
    struct Next {
        int index = -1; // the item to start now, or -1
        int waitMs = 0; // else, when > 0: ask again after this long
    };

    // With `handOver`, as many again as the limit may be working: handed
    // to a transfer lane that holds them to the limit itself.
    explicit PictureSchedule(int maxInFlight = 1, bool handOver = false);

    // Adds the picture pages not yet held, in order.
    void appendPages(const QStringList &pages);

    // The next item to start, marked as working; or how long to wait, or
    // nothing (-1, 0) when no item may start now. While album pages are
    // still read, one request of the limit is theirs (`collecting`).
    Next next(bool collecting, qint64 nowMs);

    // An item worked on came to an end (failed or not).
    void done(int index, bool failed);
    // An item that is to be tried again in its turn: not failed, not done
    // (a duplicate whose first copy failed while paused, a picture that met
    // an expired login, one that waits out a pause).
    void putBack(int index);
    // An item that goes on being worked on without waiting its turn again.
    void resumeWork(int index);
    // Every transfer in flight was cancelled: none counts as working.
    void dropInFlight() { m_working = 0; }
    // No item is started any more.
    void closeStarts() { m_nextToStart = size(); }

    // The site asked to slow down (429/503), waiting `retryAfterMs` (-1:
    // it named no wait).
    void throttled(int retryAfterMs, qint64 nowMs);

    // The next item to report, and moving past it.
    bool hasNextToReport() const { return !m_items.empty(); }
    bool nextToReportIsDone() const
    {
        return hasNextToReport() && m_items.front()->stage == ScheduledPicture::Stage::Done;
    }
    ScheduledPicture &nextToReport() { return *m_items.front(); }
    int nextToReportIndex() const { return m_nextToReport; }
    // Moves past the next item to report, which is gone then.
    void reported();
    bool allReported() const { return m_items.empty(); }

    // The picture pages not yet reported on, and of those the pictures
    // being fetched or waiting for their name.
    QStringList unreportedPages() const;
    QStringList picturesOnTheirWay() const;
    // An item not yet reported.
    ScheduledPicture &at(int index) { return *m_items[index - m_nextToReport]; }
    const ScheduledPicture &at(int index) const { return *m_items[index - m_nextToReport]; }
    // Items held so far, reported ones included.
    int size() const { return m_nextToReport + int(m_items.size()); }
    int inFlight() const { return m_working; }
    int limit() const { return m_limit; }
    // How many may be transferred at once now.
    int wireLimit(bool collecting) const { return collecting ? qMax(1, m_limit - 1) : m_limit; }
    int maxInFlight() const { return m_max; }

    // Default wait when the site names none.
    static constexpr int ThrottleWaitMs = 1000;

private:
    // The items not yet reported, from m_nextToReport on. Each is held on
    // its own, so references stay valid as pages are added; an item itself
    // would fill a deque block alone and leave a third of it empty.
    std::deque<std::unique_ptr<ScheduledPicture>> m_items;
    int m_nextToStart = 0;
    int m_nextToReport = 0;
    int m_working = 0;
    int m_max = 1;
    int m_limit = 1;
    bool m_handOver = false;
    int m_goodSinceThrottle = 0;
    qint64 m_throttledUntilMs = -1;
};
