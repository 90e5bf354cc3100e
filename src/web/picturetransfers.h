#pragma once

#include "downpic.h"
#include "fetchpage.h"

#include <QList>
#include <QNetworkCookie>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QThread;
class TransferHost;
class TransferTicket;

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
    void fetchPageAndPicture(const QString &page, const QString &filePath, PictureOfPage pictureOf,
                             QObject *context, PageAndPictureCallback done, const RequestOptions &options = {});

    // True when requests run on the transfer thread.
    bool onOwnThread() const { return m_thread != nullptr; }

private:
    friend class TransferTicket;
    friend class FollowingCookieJar;

    TransferTicket *ticketFor(QObject *context, const RequestOptions &options);
    // Cookies the site set on the transfer thread, taken into the session's jar.
    void absorb(quint64 batch, const QList<QNetworkCookie> &cookies, const QUrl &url);

    QPointer<QNetworkAccessManager> m_session;
    QThread *m_thread = nullptr;
    TransferHost *m_host = nullptr;
    QSet<TransferTicket *> m_tickets;
    quint64 m_absorbed = 0; // the last batch of cookies taken in
};
