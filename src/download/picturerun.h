#pragma once

#include "jobtally.h"
#include "jobtypes.h"
#include "pictureplacer.h"
#include "pictureclaims.h"
#include "pictureschedule.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class AlbumFolder;
class TransferLane;
class StagingFolder;
struct PageResult;
struct DownloadResult;


// The pictures of one album, from their pages to their reports: it reads
// each picture page, downloads the picture into the staging folder, has it
// placed and reports it in collection order, at the pace and with as many
// at once as the schedule allows. What the job as a whole does (collection,
// pauses, the end) is the job's: the run only holds still when told.
class PictureRun : public QObject
{
    Q_OBJECT
public:
    PictureRun(const JobSettings &settings, AlbumFolder &folder, const StagingFolder &staging,
               QObject *parent = nullptr);
    ~PictureRun() override;

    // The album's picture pages collected so far: those not yet held are
    // added, in order.
    void append(const QStringList &picturePages) { m_schedule.appendPages(picturePages); }
    void setAlbumName(const QString &name) { m_albumName = name; }
    // Pictures start (from the event loop); while `collecting`, one request
    // of the limit is left to the album pages.
    void go(bool collecting);
    // No new request until release(); what is in flight comes in.
    void hold();
    void release();
    // No new request ever; idle() follows once nothing is in flight.
    void finishInFlight();
    // Cancels every transfer in flight: their answers never arrive.
    void cancel();
    // Reports the pictures already downloaded in their turn and counts the
    // rest (and `neverBegun` more) as not downloaded. False when the
    // receiver of a report ended the job meanwhile.
    bool settle(int neverBegun);
    // Stops the pacing and every request; no signal follows.
    void stop();

    const PictureSchedule &schedule() const { return m_schedule; }
    // The pictures being fetched or waiting for their name, those fetched
    // with their page included.
    QStringList picturesOnTheirWay() const;
    const JobTally &tally() const { return m_tally; }
    int maxInFlight() const { return m_schedule.maxInFlight(); }
    // Pictures begun whose answers have yet to come in.
    int inFlight() const;
    // Of those, the ones being transferred now.
    int transferring() const;

signals:
    void pictureDone(const PictureReport &report);
    // A picture page answered with a login: the picture is put back.
    void loginMet(const QString &answer);
    // Every picture is reported and no album page is left.
    void allReported();
    // Finishing what is in flight, and nothing is any more.
    void idle();

private:
    bool moving() const { return m_moving && !m_held; }
    bool sendsNothing() const { return m_held || m_finishing; }
    void startSoon();
    void pump();
    void startItem(int index);
    void keepKnown(int index, AlbumRecord::Entry known);
    void readPage(const QString &page, std::function<void(const PageResult &)> done);
    void readPageAndPicture(int index);
    void fetchPicture(const QString &picture, const QString &file,
                      std::function<void(const struct DownloadResult &)> done);
    void onPage(int index, const struct PicturePageReading &reading, const PageResult &page,
                std::optional<DownloadResult> fetched);
    void download(int index);
    void pictureArrived(int index, const DownloadResult &result);
    void updateClaims() { m_claims->setOpen(!sendsNothing()); }
    void updateLane();
    // Pictures handed to the lane that have not begun come back to the schedule.
    void takeBackWaiting();
    void itemDone(int index);
    void commitReady();
    bool commit(ScheduledPicture &item);
    bool takeFromLater(ScheduledPicture &item);
    void loginExpired(int index);
    void checkIdle();

    const JobSettings &m_settings;
    RequestOptions m_requestOptions;
    AlbumFolder &m_folder;
    const StagingFolder &m_staging;
    QString m_albumName;
    PictureSchedule m_schedule;
    // The schedule's clock: it keeps no time of its own.
    QElapsedTimer m_clock;
    JobTally m_tally;
    // Pictures on their way or saved, so a repeat waits for the first; shared
    // with the transfer thread.
    std::shared_ptr<PictureClaims> m_claims = std::make_shared<PictureClaims>();
    PicturePlacer m_placer;
    bool m_moving = false;
    bool m_collecting = false;
    bool m_held = false;
    bool m_finishing = false;
    QTimer m_pace;
    // Every request answers to this object; deleting it abandons them.
    QPointer<QObject> m_requests;
    // With several at once, the transfers' own cap on them: the next begins
    // as one ends, without waiting for this thread.
    std::shared_ptr<TransferLane> m_lane;
};
