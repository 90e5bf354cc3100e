#pragma once

#include "albumlist.h"
#include "web/webrequest.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
struct PageResult;

// Why a member's album list could not be read.
enum class AlbumListError {
    InvalidUserId, // the id is no number; nothing was sent
    NotLoggedIn,   // the profile page is what the site sends to a visitor
    NoAlbums,      // the site says the member has none (also for an unknown member)
    Unreachable,   // the profile page could not be fetched: see webError and reason
};

struct AlbumListFailure {
    AlbumListError error = AlbumListError::Unreachable;
    // For Unreachable: what went wrong with the request, the HTTP status when
    // the site answered with an error, and the reason as the web layer gave it.
    WebError webError = WebError::None;
    int httpStatus = 0;
    WebFailure reason;
};

// Reads a member's albums: the album list of the profile page, then the
// albums that the first album's page links and the profile did not list.
//
// start() sends the first request; the request then ends exactly once, later
// from the event loop: with listed() (possibly an empty list, when the
// profile links no albums) or with failed(), never both. A failed second
// request keeps what the profile listed. Deleting the object aborts whatever
// is outstanding and nothing is emitted any more. The object does not delete
// itself: its owner does, with deleteLater() from a slot of its signals.
class AlbumListRequest : public QObject
{
    Q_OBJECT
public:
    // `userId` is used as typed, blanks and all, in the profile address and
    // in the album link prefix; only the check for a number trims it.
    AlbumListRequest(QNetworkAccessManager *network, const QString &photoHostBase, const QString &userId,
                     QObject *parent = nullptr);
    ~AlbumListRequest() override;

    QString userId() const { return m_userId; }
    QString profileAddress() const;

    // Starts the reading; later calls do nothing.
    void start();
    bool isRunning() const { return m_started && !m_ended; }

signals:
    void listed(const QList<AlbumEntry> &albums);
    void failed(const AlbumListFailure &failure);

private:
    void profileFetched(const PageResult &answer);
    void albumPageFetched(const QString &page);
    void fail(const AlbumListFailure &failure);
    void succeed();

    QPointer<QNetworkAccessManager> m_network;
    QString m_photoHostBase;
    QString m_userId;
    QList<AlbumEntry> m_albums;
    bool m_started = false;
    bool m_ended = false;
};
