#pragma once

#include "downpic.h"
#include "fetchpage.h"

#include <QList>
#include <QNetworkCookie>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QNetworkAccessManager;
class LaneSeat;
class PictureTransfers;
class QThread;
class TransferHost;
class TransferTicket;

// A cap on a caller's page-and-picture steps, kept where they run: no more
// than the cap at once, the rest waiting in the order they were asked for,
// each begun there as one ends, with no trip through the caller's thread
// between the two. A caller may hand over more steps than the cap and take
// back those that still wait. Thread-safe.
class TransferLane : public std::enable_shared_from_this<TransferLane>
{
public:
    // A larger cap begins waiting steps at once.
    void setCap(int cap);
    // No waiting step begins until goOn(): from wherever a step's answer
    // says that more would be wasted (a login page), until its caller decides.
    void halt();
    void goOn();
    // The keys of the steps still waiting, which now never begin: their
    // callers never hear of them. From the caller's thread.
    QList<int> takeBackWaiting();
    // Steps begun and not yet ended where they run.
    int running() const;
    int waiting() const;

private:
    friend class PictureTransfers;
    friend class LaneSeat;
    struct Step {
        int key = -1;
        // Where the steps run, with the seat it holds until it ends.
        std::function<void(std::shared_ptr<LaneSeat>)> begin;
        std::function<void()> drop; // on the caller's thread, when taken back
    };

    TransferLane(PictureTransfers *owner, QObject *runner, int cap);
    void ask(Step step);
    void ended(bool beginNext);
    void beginWhatFits();
    void beginSoon();

    mutable std::mutex m_mutex;
    QPointer<PictureTransfers> m_owner; // read on the caller's thread only
    QObject *m_runner;                  // lives as long as the owner
    bool m_runnerIsOwner;
    int m_cap;
    int m_running = 0;
    bool m_halted = false;
    std::deque<Step> m_waiting;
};

// Page fetches and picture downloads of a session on a thread of their own,
// so that the window's thread neither reads sockets nor writes part files.
// The same requests and rules as fetchPage() and downloadPicture() (the same
// request classes run them), on a network manager of the transfer thread
// whose cookies follow the session's jar: a request carries every cookie the
// session held when it was asked for, and cookies the site sets come back
// into the session's jar.
//
// Called from the thread this object lives in (the caller's thread); every
// callback, `throttled` included, runs later from that thread's event loop,
// never inside the call. Destroying `context` abandons the request at once,
// whatever the transfer thread is doing: no callback arrives, nothing is
// written afterwards and its part file is removed before the destruction
// returns. A picture takes its name on the caller's thread, in the same turn
// as its callback, so one that is in place has always been reported.
//
// Each call starts its request at once: the caller decides how many are in
// flight. Without a cookie jar it can follow (the session's is a
// PersistentCookieJar), the requests run on the caller's thread as the free
// functions do.
class PictureTransfers : public QObject
{
    Q_OBJECT
public:
    explicit PictureTransfers(QNetworkAccessManager *session, QObject *parent = nullptr);
    ~PictureTransfers() override;

    // The transfers of `session`, made on first use as its child.
    static PictureTransfers *forSession(QNetworkAccessManager *session);

    // As fetchPage() and downloadPicture() on the session.
    void fetchPage(const QString &charset, const QString &address, QObject *context, PageCallback done,
                   const RequestOptions &options = {});
    void downloadPicture(const QString &address, const QString &filePath, QObject *context, DownloadCallback done,
                         const RequestOptions &options = {});

    // What a picture page's answer names to fetch next: called once with
    // every answer, where it arrives (on the transfer thread), so it must be
    // safe there. An empty address fetches nothing.
    using PictureOfPage = std::function<QString(const PageResult &)>;
    // The page's answer and, when it named a picture, the picture's outcome.
    using PageAndPictureCallback = std::function<void(const PageResult &, const std::optional<DownloadResult> &)>;

    // A picture page and then the picture it names, into `filePath`, in one
    // step: the picture's request starts as the page's answer arrives, with
    // no trip through the caller's thread between the two, and the caller
    // hears once, of both.
    // With a `lane`, the step waits its turn in it under `key`.
    void fetchPageAndPicture(const QString &page, const QString &filePath, PictureOfPage pictureOf,
                             QObject *context, PageAndPictureCallback done, const RequestOptions &options = {},
                             const std::shared_ptr<TransferLane> &lane = {}, int key = -1);

    // A lane for page-and-picture steps of these transfers, `cap` at once.
    std::shared_ptr<TransferLane> lane(int cap);

    // True when requests run on the transfer thread.
    bool onOwnThread() const { return m_thread != nullptr; }

private:
    friend class TransferTicket;
    friend class FollowingCookieJar;

    TransferTicket *ticketFor(QObject *context, const RequestOptions &options);
    // The transfer thread's part of a page and its picture; false when its
    // caller left before it began.
    std::function<bool()> pageAndPictureThere(const QString &page, const QString &filePath, PictureOfPage pictureOf,
                                              TransferTicket *ticket, const RequestOptions &options,
                                              const std::shared_ptr<TransferLane> &lane);
    // Cookies the site set on the transfer thread, taken into the session's jar.
    void absorb(quint64 batch, const QList<QNetworkCookie> &cookies, const QUrl &url);

    QPointer<QNetworkAccessManager> m_session;
    QThread *m_thread = nullptr;
    TransferHost *m_host = nullptr;
    QSet<TransferTicket *> m_tickets;
    quint64 m_absorbed = 0; // the last batch of cookies taken in
    quint64 m_cookieTurn = 0; // each request's turn, so its cookies are never older than the last sent
};
