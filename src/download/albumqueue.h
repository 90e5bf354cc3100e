#pragma once

#include "downloadjob.h"
#include "htmlpagesource.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class PageSource;
class PageWalk;
struct RecordedAlbum;

// A composite job: one DownloadJob after another for a list of albums, each
// collected through the same page source. The queue owns what it knows (the
// albums, how far it got, the counts, why it stopped) and ends with one
// report; a window only starts it and shows what it reports.
//
// The next album begins as soon as one ends. When its temporary folder cannot
// be made the queue ends there, and its report still names every album it
// finished.
class AlbumQueue : public QObject
{
    Q_OBJECT
public:
    enum class State { Ready, Running, Finished, Killed };

    using Album = QueueAlbum;
    using Stop = QueueStop;
    using Report = QueueReport;

    AlbumQueue(const JobSettings &settings, PageSource *source, const QList<Album> &albums,
               QObject *parent = nullptr);
    ~AlbumQueue() override;

    // Begins the first album by loading its address. False, with the reason,
    // when its temporary folder cannot be made; nothing has changed then and
    // no signal follows.
    bool start(JobStartFailure *failure = nullptr);
    // The same, but the first album is the page the source shows already.
    bool startFromShownPage(const PageSnapshot &shown, JobStartFailure *failure = nullptr);

    // The fast mode's reader of album pages: each album whose first page it
    // reads as the pane does is collected through it. Call before start;
    // without it, a queue whose settings say readPagesAsHtml makes its own.
    void setHtmlSource(HtmlPageSource *html) { m_html = html; }
    // Passed to the album at work (see DownloadJob). A stop also ends the
    // queue there: no further album begins, and finished() follows. In a
    // queue of several albums the album at work ends after the pictures in
    // flight (DownloadJob::stopAfterInFlight); a single album ends now.
    void pause();
    void resume();
    void stop();
    bool isPaused() const { return m_job && m_job->isPaused(); }
    HaltReason pausedBy() const { return m_job ? m_job->pausedBy() : HaltReason::None; }
    // Whether the commands apply now: a stop once is enough, and a queue
    // that has ended has nothing to pause.
    bool canPause() const { return isRunning() && !m_stopping && m_job && !m_job->isPaused(); }
    bool canResume() const { return isRunning() && !m_stopping && isPaused(); }
    bool canStop() const { return isRunning() && !m_stopping; }
    bool isStopping() const { return m_stopping; }

    // Stops the album at work; no signal follows.
    void kill();
    // Kills the queue and removes the temporary folder of the album at work.
    void discard();

    State state() const { return m_state; }
    bool isRunning() const { return m_state == State::Running; }
    const JobSettings &settings() const { return m_settings; }
    // The album at work, or the last one once the queue has ended.
    DownloadJob *currentJob() const { return m_job; }
    int currentIndex() const { return m_current; }
    int count() const { return int(m_report.albums.size()); }
    const Album &album(int index) const { return m_report.albums.at(index); }
    // Pictures saved by the albums that have ended.
    int saved() const { return m_report.saved; }
    const Report &report() const { return m_report; }
    // Collection of the album at work needed no page but the one shown.
    bool readFromShownPage() const;

signals:
    void albumStarted(int index);
    void pageCollected(int collected);
    void collectionStopped(const CollectionStop &stop);
    // The album at work is collected through the pane, not as HTML.
    void paneChosen(PaneFallback why, const QString &address);
    void collectionFinished(int collected);
    void pictureDone(const PictureReport &report);
    void albumFinished(int index, const JobReport &report);
    void finished(const AlbumQueue::Report &report);
    // The album at work halted (see DownloadJob::paused), or went on.
    void paused(HaltReason reason, const QString &loginPage);
    void resumed();

private:
    DownloadJob *beginAlbum(JobStartFailure *failure);
    void onAlbumFinished(const JobReport &report);

    JobSettings m_settings;
    QPointer<PageSource> m_source;
    QPointer<HtmlPageSource> m_html;
    State m_state = State::Ready;
    bool m_stopping = false;
    Report m_report;
    int m_current = -1;
    QPointer<DownloadJob> m_job;
    QPointer<PageWalk> m_walk;
};

// The queue that brings recorded albums up to date: each read from its first
// page when the record knows it (else its address), only new pictures into
// its own folder, whatever `settings.mode` says. Albums without an address
// are left out. Started at once; nullptr when it could not be: with the
// reason when no temporary folder could be made, with none when no album
// can be updated.
// The same queue, made but not started, so that a window can connect to it
// first; nullptr when no album can be updated.
AlbumQueue *MakeUpdateQueue(const JobSettings &settings, PageSource *source, const QList<RecordedAlbum> &albums,
                            QObject *parent);
AlbumQueue *StartUpdateQueue(const JobSettings &settings, PageSource *source, const QList<RecordedAlbum> &albums,
                             QObject *parent, JobStartFailure *failure);
