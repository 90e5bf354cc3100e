#pragma once

// The value types of a download job: what it is started with and what it
// reports. Whoever only shows or passes on a job's reports includes this,
// not the job's class.
#include "albumcollection.h"
#include "albumfolder.h"
#include "web/webrequest.h"

#include <QList>
#include <QString>

#include <optional>

class QNetworkAccessManager;

// The collection rules a job reads its album pages by (see CollectionRules):
// those of the browser pane the user looks at (its start button), or those
// of the hidden pane that the member list, updates and the command line use.
// The numbers are the job source the window reports.
enum class JobSource { BrowserPane = 1, HiddenPane = 2 };

// What becomes of each picture's caption, album and date beyond the album's
// record (which keeps them in every mode): nothing, the site's bytes as they
// are; written into the picture (a format that takes none gets a sidecar);
// or written into an XMP sidecar beside the untouched picture.
enum class CaptionMode { None, Embed, Sidecar };

struct JobSettings {
    JobSource source = JobSource::BrowserPane;
    // Captured when the job is made: every folder of the job lies here, even
    // if the user picks another save folder meanwhile.
    QString saveFolder;
    // The album's address as the job was started on it; the first page the
    // pane loads stands in when empty.
    QString albumAddress;
    QString photoHostBase;
    QNetworkAccessManager *network = nullptr;
    // Time-out and retries of every picture page and picture.
    RequestOptions requests;
    DownloadMode mode = DownloadMode::ReplaceAll;
    // How many pictures are worked on at once (page and picture). One is
    // the pace the program was made with; more is the fast mode.
    int maxInFlight = 1;
    // The pause after each picture before the next is begun.
    int pauseMs = 100;
    // How long an album page may take to load before collection ends with
    // what it has: a page that never completes must not hold the job.
    int pageLoadTimeoutMs = 60000;
    // An expired login pauses the job (resume() goes on once the user has
    // logged in again) instead of ending it.
    bool pauseOnExpiredLogin = false;
    // Only new pictures into exactly this folder of the save folder, whatever
    // the album's title now, as long as its record names the album. Set by an
    // update of recorded albums; an album page that shows the album is gone
    // then ends the job without touching the folder.
    QString targetFolder;
    // Picture pages start while later album pages are still being read (the
    // fast mode). Only new pictures finds the folder it adds to from the
    // first page, whose title names the album.
    bool startWhileCollecting = false;
    // Goes on with an interrupted or stopped album in this folder (a name
    // under the save folder whose record names the album): only the
    // pictures it does not hold yet are fetched, into it, and it takes the
    // album's name only once the album is whole.
    QString continueFolder;
    CaptionMode captions = CaptionMode::None;
    // Album pages are read as HTML where their first page reads as the pane
    // shows it (the fast mode; see AlbumQueue), with the browser's agent.
    bool readPagesAsHtml = false;
    QByteArray userAgent;

    // The fast mode: several pictures at once, no pause between them.
    static constexpr int DefaultFastInFlight = 4;
    static constexpr int MaxInFlight = 8;
};

// How one picture of the album ended.
struct PictureReport {
    enum class Kind { Saved, Failed, Skipped, AlreadyThere };
    Kind kind = Kind::Saved;
    // The picture's address; the picture page's when that could not be read.
    QString address;
    bool pageFailed = false;
    // Why it failed or was skipped: the picture page's or the picture's
    // request (`failure`), or a rule of the job's.
    enum class Why { None, Request, SavedBefore, TooManyPictures, NotPlaced, NoFileName, MetadataNotWritten };
    Why why = Why::None;
    // Request: what the web layer reported. NotPlaced, MetadataNotWritten: `subject` the name,
    // `systemText`. TooManyPictures: `limit`.
    WebFailure failure;
    QString fileName; // what it was saved as
    int savedCount = 0; // pictures saved so far in this job
    // Skipped because the picture page held no picture address; `address`
    // is the picture page's then.
    bool noPictureAddress = false;
    // Fetched again: the folder held the recorded picture no longer whole.
    AlbumFolder::Held refetched = AlbumFolder::Held::No;
};

// What halted a job before its end: the user, or the site's expired login.
// Where it stands says whether the job waits or has ended: a paused job's
// pausedBy(), an ended job's JobReport::haltedBy.
enum class HaltReason { None, User, LoginExpired };

// How the whole job ended: what it did, and its folder's fate.
struct JobReport : FolderFate {
    QString albumName;
    int saved = 0;
    int failed = 0;
    // Only new pictures: how many the album's folder held already.
    int alreadyThere = 0;
    DownloadMode mode = DownloadMode::ReplaceAll;
    // Set when collection ended before the album's last page.
    CollectionStop collectionStop;
    using FolderNote = AlbumFolderNote;
    // Picture pages that held no picture address.
    int noPictureAddress = 0;
    // Captions written into pictures: the pictures whose format takes none
    // (GIF) and got a sidecar instead.
    int sidecarsInstead = 0;
    // Why the job ended before every picture page was asked for: stopped by
    // the user, or the site's login expired (`loginPage` is what it answered).
    HaltReason haltedBy = HaltReason::None;
    QString loginPage;
    // Picture pages collected but never brought to an end.
    int notDownloaded = 0;
    // An update found the album gone from the site (its page answered 404 or
    // is no album page); its folder was left as it is.
    bool albumGone = false;
    QString goneAddress; // the page that showed it
    int goneStatus = 0;  // its HTTP status; 0 when it answered a page that is no album
    QString goneTitle;   // that page's title

    // Every album page read, every picture page gave its picture, every
    // picture saved, and the job went to its end.
    bool isWhole() const { return whole && !folderGone; }
    // Another job (of this or another process) works on the album; this one
    // left it alone and saved nothing.
    bool busy = false;
    bool whole = true;
    // Folder steps that failed, each with its path and the system's reason.
    QList<FolderProblem> problems;
};

// Why a job could not start; nothing has changed then.
struct JobStartFailure {
    enum class Why { None, NoFolder, NotUnfinished, AlbumBusy };
    Why why = Why::None;
    FileError folder; // NoFolder: why the temporary or staging folder could not be made
    QString subject;  // NotUnfinished: the folder's path; AlbumBusy: the album's address
};

// One album of a queue (see AlbumQueue), and how the queue ended.
struct QueueAlbum {
    QString title; // as the album list shows it
    QString address; // the page the album is read from
    std::optional<JobReport> report; // once it has ended
    // Handed to the album's job: the folder the new pictures go into
    // (see JobSettings::targetFolder) and the album's own address when
    // `address` is another of its pages.
    QString targetFolder;
    QString albumAddress;
    // The album's interrupted folder to go on in (see JobSettings::continueFolder).
    QString continueFolder;
};

// Why the queue ended before its last album.
enum class QueueStop { None, NoTemporaryFolder, ByUser };

struct QueueReport {
    QList<QueueAlbum> albums; // every album; those that ended carry their report
    int done = 0;        // albums that ended
    int saved = 0;
    int failed = 0;
    QueueStop stop = QueueStop::None;
    JobStartFailure stopFailure; // why the next album could not begin
};
