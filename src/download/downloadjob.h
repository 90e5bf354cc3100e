#pragma once

#include "albumcollection.h"
#include "jobfolders.h"
#include "jobtypes.h"
#include "picturerun.h"
#include "web/pagelink.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

// One album's download: its temporary folder, the collection of its picture
// pages from what a browser pane loads, then for each picture page the
// picture address in it and the picture itself, and at the end the folder
// named after the album.
//
// Pictures are worked on one after another with a pause between them, or
// several at once (maxInFlight); either way each is given its file name and
// reported in collection order, so the folder and the reports do not depend
// on which answer came first. A site that answers 429 or 503 makes the job
// take fewer at once and wait as asked, then build up again.
//
// The job does not drive a browser: the window hands it each page its pane
// has loaded, and the job answers which page to load next. Every request of
// the job belongs to it; kill() or deleting the job stops them all, and
// nothing is written afterwards.
class DownloadJob : public QObject
{
    Q_OBJECT
public:
    enum class State { Ready, Collecting, Downloading, Finished, Killed };

    explicit DownloadJob(const JobSettings &settings, QObject *parent = nullptr);
    ~DownloadJob() override;

    // Makes the temporary album folder and begins collecting. False, with the
    // reason, when the folder cannot be made; nothing has changed then.
    bool start(JobStartFailure *failure = nullptr);

    // A page the collecting pane has loaded. Returns the address the pane is
    // to load next, or the empty text when collection is over (or the page
    // is none of the job's business, such as the pane's blank page).
    QString pageLoaded(const PageSnapshot &page);

    // No new request is sent until resume(); what is in flight finishes.
    // During collection the job halts after the page being loaded.
    void pause();
    // Goes on with the next picture (or album page) after a pause, also
    // after an expired login once the user has logged in again.
    void resume();
    // Ends the job now, keeping what is saved; transfers in flight are
    // cancelled and counted as not downloaded. finished() follows.
    void stop();
    // Ends the job once the transfers in flight have come in: no new request
    // is sent, what arrives is saved and reported as usual, and the rest is
    // counted as not downloaded. finished() follows, as after stop(); at
    // once when nothing is in flight.
    void stopAfterInFlight();
    bool isPaused() const { return m_pausedBy != HaltReason::None; }
    HaltReason pausedBy() const { return m_pausedBy; }

    // Stops every request and the pacing; no signal follows.
    void kill();
    // Kills the job and deletes its temporary folder with what it holds,
    // unless the job has finished (its folder is the album's then). A job
    // that continued an album removes only the pictures it added, and puts
    // back the record the folder had.
    void discard();

    // Whether the album came down whole so far: no picture failed and
    // collection was not cut short. Only a whole album replaces an earlier
    // copy. A stop that leaves pictures out (an expired login) calls
    // markNotWhole().
    bool isWhole() const;
    void markNotWhole() { m_notWhole = true; }

    const JobSettings &settings() const { return m_settings; }
    JobSource source() const { return m_settings.source; }
    State state() const { return m_state; }
    QString albumName() const { return m_collection.albumName(); }
    QString temporaryFolderName() const { return m_folders.album().workName(); }
    QString temporaryFolderPath() const;
    // Where pictures are downloaded before they take their name: a folder
    // of the job's own beside the album folders, gone at the job's end.
    QString stagingFolderPath() const { return m_folders.staging().path(); }
    bool isContinuing() const { return m_folders.album().isContinuing(); }
    int collectedCount() const { return int(m_collection.picturePages().size()); }
    // Picture pages not yet reported on, and pictures on their way.
    QStringList pendingPages() const { return m_run.schedule().unreportedPages(); }
    QStringList pendingPictures() const { return m_run.picturesOnTheirWay(); }
    // Picture pages and pictures begun whose answers have yet to come in,
    // and of those the ones being transferred now: never more than the limit.
    int inFlight() const { return m_run.inFlight(); }
    int transferring() const { return m_run.transferring(); }
    // How many pictures the job works on at once now.
    int inFlightLimit() const { return m_run.schedule().limit(); }

signals:
    void pageCollected(int collected);
    void collectionStopped(const CollectionStop &stop);
    void collectionFinished(int collected);
    void pictureDone(const PictureReport &report);
    // The job halted (`loginPage`: what the site answered instead of a
    // picture page or album page) and goes on after resume().
    void paused(HaltReason reason, const QString &loginPage);
    void resumed();
    // After resume() during collection: the album page the pane is to load.
    void pageWanted(const QString &address);
    void finished(const JobReport &report);

private:
    void finishCollection();
    void lookForAlbumFolder();
    void onPageWaitOver();
    // What halted the job pauses it (an expired login where the front end
    // can log in again) or ends it early.
    void halt(HaltReason reason, const QString &loginPage);
    void pauseForLogin(const QString &loginPage);
    void endEarly(HaltReason reason, const QString &loginPage);
    // What the job did, before its folder takes its final name.
    JobReport counts() const;
    void complete();

    JobSettings m_settings;
    State m_state = State::Ready;
    AlbumCollection m_collection;
    JobFolders m_folders;
    CollectionStop m_collectionStop;
    QString m_firstPage;
    // Another job had the album.
    bool m_busy = false;
    // An update's album page showed the album is gone.
    std::optional<PageSnapshot> m_gone;
    bool m_notWhole = false;
    bool m_albumFolderLooked = false;
    // A pause, and what ended the job early.
    HaltReason m_pausedBy = HaltReason::None;
    HaltReason m_endedBy = HaltReason::None;
    // Stopping once the transfers in flight are in (see stopAfterInFlight).
    bool m_stopAfterInFlight = false;
    QString m_loginPage;
    // The album page the pane was sent to, and one held back by a pause.
    QString m_expectedPage;
    QString m_heldPage;
    QTimer m_pageWait;
    // After the folders it works in.
    PictureRun m_run;
};
