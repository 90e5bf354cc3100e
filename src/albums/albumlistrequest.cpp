#include "albumlistrequest.h"

#include "web/fetchpage.h"

#include <QNetworkAccessManager>
#include <QTimer>

namespace {
const QString Charset = QStringLiteral("UTF-8");

QStringList addresses(const QList<AlbumEntry> &albums)
{
    QStringList out;
    out.reserve(albums.size());
    for (const AlbumEntry &album : albums)
        out << album.url;
    return out;
}
} // namespace

AlbumListRequest::AlbumListRequest(QNetworkAccessManager *network, const QString &photoHostBase,
                                   const QString &userId, QObject *parent)
    : QObject(parent), m_network(network), m_photoHostBase(photoHostBase), m_userId(userId)
{
}

// The outstanding fetches are children of this object and abort with it.
AlbumListRequest::~AlbumListRequest() = default;

QString AlbumListRequest::profileAddress() const
{
    return m_photoHostBase + QLatin1String("/getalbumprofile.do?owner=") + m_userId;
}

void AlbumListRequest::start()
{
    if (m_started)
        return;
    m_started = true;
    if (!IsValidUserId(m_userId)) {
        // Like every other ending, this one is heard from the event loop and
        // not inside start().
        QTimer::singleShot(0, this, [this] { fail({AlbumListError::InvalidUserId}); });
        return;
    }
    // One attempt: the user asked once and sees the answer at once.
    RequestOptions once;
    once.retry = RetryPolicy::none();
    fetchPage(m_network, Charset, profileAddress(), this,
              [this](const PageResult &answer) { profileFetched(answer); }, once);
}

void AlbumListRequest::profileFetched(const PageResult &answer)
{
    // A site that cannot be reached is no reason to log in again.
    if (!answer.ok()) {
        fail({AlbumListError::Unreachable, answer.error, answer.httpStatus, answer.failure});
        return;
    }
    if (!IsLoggedInPage(answer.text)) {
        fail({AlbumListError::NotLoggedIn});
        return;
    }
    if (HasNoAlbumsMarker(answer.text)) {
        fail({AlbumListError::NoAlbums});
        return;
    }
    m_albums = ParseAlbumPass(answer.text, AlbumLinkPrefix(m_photoHostBase, m_userId), {});
    // Without a first album there is no album page to look at.
    if (m_albums.isEmpty()) {
        succeed();
        return;
    }
    fetchText(m_network, Charset, m_albums.constFirst().url, QString(), this,
              [this](const QString &page) { albumPageFetched(page); });
}

void AlbumListRequest::albumPageFetched(const QString &page)
{
    // An album page that failed is an empty text and adds nothing.
    m_albums += ParseAlbumPass(page, AlbumLinkPrefix(m_photoHostBase, m_userId), addresses(m_albums));
    succeed();
}

void AlbumListRequest::fail(const AlbumListFailure &failure)
{
    m_ended = true;
    m_albums.clear();
    emit failed(failure);
}

void AlbumListRequest::succeed()
{
    m_ended = true;
    emit listed(m_albums);
}
