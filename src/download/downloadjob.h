#pragma once

#include "albumcollection.h"
#include "web/pagelink.h"
#include "web/webrequest.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class QNetworkAccessManager;

// Who started a job: the browser pane's start button, or the member list.
enum class JobSource { BrowserPane = 1, MemberList = 2 };

struct JobSettings {
    JobSource source = JobSource::BrowserPane;
    // Captured when the job is made: every folder of the job lies here, even
    // if the user picks another save folder meanwhile.
    QString saveFolder;
    QString photoHostBase;
    QNetworkAccessManager *network = nullptr;
    // Time-out and retries of every picture page and picture.
    RequestOptions requests;
    // The pause after each picture before the next is begun.
    int pauseMs = 100;
};

// How one picture of the album ended.
struct PictureReport {
    enum class Kind { Saved, Failed, Skipped };
    Kind kind = Kind::Saved;
    // The picture's address; the picture page's when that could not be read.
    QString address;
    bool pageFailed = false;
    QString reason;   // why it failed or was skipped
    QString fileName; // what it was saved as
    int savedCount = 0; // pictures saved so far in this job
};

// How the whole job ended.
struct JobReport {
    QString albumName;
    // The album's folder under the save folder as it is now: the album's
    // name, or the temporary folder's when that name could not be given.
    QString folderName;
    int saved = 0;
    int failed = 0;
    // Set when collection ended before the album's last page.
    QString collectionNote;
    // Set when the pictures are not where the album's name says.
    QString folderNote;
    // The save folder or the temporary folder vanished while the job ran.
    bool folderGone = false;
};

// One album's download: its temporary folder, the collection of its picture
// pages from what a browser pane loads, then, one picture page per tick, the
// picture address of each page and the picture itself, and at the end the
// folder named after the album.
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
    bool start(QString *error);

    // A page the collecting pane has loaded. Returns the address the pane is
    // to load next, or the empty text when collection is over (or the page
    // is none of the job's business, such as the pane's blank page).
    QString pageLoaded(const PageSnapshot &page);

    // Stops every request and the pacing; no signal follows.
    void kill();
    // Kills the job and deletes its temporary folder with what it holds,
    // unless the job has finished (its folder is the album's then).
    void discard();

    const JobSettings &settings() const { return m_settings; }
    JobSource source() const { return m_settings.source; }
    State state() const { return m_state; }
    bool isRunning() const { return m_state == State::Collecting || m_state == State::Downloading; }
    QString albumName() const { return m_collection.albumName(); }
    QString temporaryFolderName() const { return m_tempFolder; }
    QString temporaryFolderPath() const;
    int collectedCount() const { return int(m_collection.picturePages().size()); }
    // Picture pages not yet read, and resolved pictures not yet saved.
    QStringList pendingPages() const { return m_pendingPages; }
    QStringList pendingPictures() const { return m_pendingPictures; }
    int savedCount() const { return m_saved; }
    int failedCount() const { return m_failed; }

signals:
    void pageCollected(int collected);
    void collectionStopped(const QString &reason);
    void collectionFinished(int collected);
    void pictureDone(const PictureReport &report);
    void finished(const JobReport &report);

private:
    void finishCollection();
    void removeEarlierAlbumFolder();
    void tick();
    void savePicture();
    void report(PictureReport picture);
    void complete();
    QString folderPath(const QString &name) const;

    JobSettings m_settings;
    State m_state = State::Ready;
    AlbumCollection m_collection;
    QString m_tempFolder;
    QString m_collectionNote;
    QStringList m_pendingPages;
    QStringList m_pendingPictures;
    // Picture addresses saved in this job: a picture the album shows on two
    // pages is saved once.
    QSet<QString> m_savedAddresses;
    int m_saved = 0;
    int m_failed = 0;
    QTimer m_pace;
    // Every request answers to this object; deleting it abandons them.
    QPointer<QObject> m_requests;
};
