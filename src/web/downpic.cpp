#include "downpic.h"

#include "networksession.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTemporaryFile>

#include <limits>

qint16 DownloadedCount = 0;

namespace {

DownPicResult failure(DownPicError error, const QString &message, int httpStatus = 0)
{
    return {error, httpStatus, message};
}

// Owns one picture transfer and its temporary file. A child of the caller's
// context: destroying the context aborts the transfer and, through the
// QTemporaryFile, removes the partial file. (On Linux the temporary file has
// no name at all until it is renamed, so not even a crash leaves one behind.)
class PictureTransfer : public QObject
{
public:
    PictureTransfer(const QString &filePath, DownPicCallback done, QObject *context)
        : QObject(context), m_filePath(filePath), m_done(std::move(done))
    {
    }

    ~PictureTransfer() override { WebRequest::dropReply(m_reply); }

    DownPicResult start(const QString &address, int timeoutMs)
    {
        const QUrl url = WebRequest::siteUrl(address);
        if (!url.isValid())
            return failure(DownPicError::BadAddress, QStringLiteral("not a web address: %1").arg(address));
        const QFileInfo target(m_filePath);
        if (target.fileName().isEmpty())
            return failure(DownPicError::BadAddress, QStringLiteral("no file name in %1").arg(m_filePath));
        if (!QFileInfo(target.absolutePath()).isDir())
            return failure(DownPicError::NoFolder, QStringLiteral("no folder %1").arg(target.absolutePath()));
        if (target.exists() || target.isSymLink())
            return failure(DownPicError::FileExists, QStringLiteral("%1 exists already").arg(m_filePath));
        if (DownloadedCount == std::numeric_limits<qint16>::max())
            return failure(DownPicError::CountFull, QStringLiteral("picture count is full"));

        m_part.setFileTemplate(target.absolutePath() + QLatin1String("/.") + target.fileName()
                               + QLatin1String(".part-XXXXXX"));
        if (!m_part.open())
            return failure(DownPicError::WriteFailed, m_part.errorString());

        QNetworkRequest request(url);
        request.setTransferTimeout(timeoutMs);
        m_reply = sharedNetwork()->get(request);
        // Written as it arrives, so a large picture is never held in memory whole.
        connect(m_reply, &QNetworkReply::readyRead, this, &PictureTransfer::onReadyRead);
        connect(m_reply, &QNetworkReply::finished, this, &PictureTransfer::onFinished);
        // A manager deleted under a running reply takes the reply with it
        // without finished(); the caller still gets its one answer.
        connect(m_reply, &QObject::destroyed, this, [this] {
            if (m_done)
                finish(failure(DownPicError::Aborted, QStringLiteral("network session closed")));
        });
        return {};
    }

    void finish(const DownPicResult &result)
    {
        // A failure must not leave the partial file for the caller to trip over,
        // and `done` may delete the context (and this object with it).
        if (!result.ok() && !m_part.fileName().isEmpty())
            m_part.remove();
        DownPicCallback done = std::move(m_done);
        m_done = nullptr;
        setParent(nullptr);
        deleteLater();
        done(result);
    }

private:
    void onReadyRead()
    {
        if (m_writeFailed || !m_reply->isOpen())
            return;
        const QByteArray chunk = m_reply->readAll();
        if (m_part.write(chunk) != chunk.size()) {
            m_writeFailed = true;
            m_reply->abort(); // finished() follows and reports the write error
        }
        m_received += chunk.size();
    }

    void onFinished()
    {
        onReadyRead();
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        disconnect(reply, &QObject::destroyed, this, nullptr);
        reply->deleteLater();
        finish(place(reply));
    }

    DownPicResult place(QNetworkReply *reply)
    {
        if (m_writeFailed)
            return failure(DownPicError::WriteFailed, m_part.errorString());
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 400)
            return failure(DownPicError::HttpStatus,
                           QStringLiteral("HTTP %1 for %2").arg(status).arg(reply->url().toString()),
                           status);
        if (WebRequest::transferBroken(reply, m_received)) {
            // Nobody else cancels a reply we still listen to: this is the transfer timeout.
            if (reply->error() == QNetworkReply::OperationCanceledError)
                return failure(DownPicError::Network, QStringLiteral("timed out"), status);
            if (status != 0
                && (reply->error() == QNetworkReply::NoError
                    || reply->error() == QNetworkReply::RemoteHostClosedError))
                return failure(DownPicError::Truncated,
                               QStringLiteral("only %1 bytes arrived").arg(m_received), status);
            return failure(DownPicError::Network, reply->errorString(), status);
        }
        if (!m_part.flush())
            return failure(DownPicError::WriteFailed, m_part.errorString(), status);
        m_part.close();

        // Another transfer may have filled the count meanwhile, or a file may
        // have taken the name: QTemporaryFile::rename never replaces one.
        if (DownloadedCount == std::numeric_limits<qint16>::max())
            return failure(DownPicError::CountFull, QStringLiteral("picture count is full"), status);
        if (!m_part.rename(m_filePath)) {
            const bool exists = QFileInfo::exists(m_filePath);
            return failure(exists ? DownPicError::FileExists : DownPicError::WriteFailed,
                           m_part.errorString(), status);
        }
        m_part.setAutoRemove(false);
        ++DownloadedCount;
        return {DownPicError::None, status, {}};
    }

    QString m_filePath;
    DownPicCallback m_done;
    QTemporaryFile m_part;
    QPointer<QNetworkReply> m_reply;
    qint64 m_received = 0;
    bool m_writeFailed = false;
};

} // namespace

void DownPic(const QString &address, const QString &filePath, QObject *context,
             DownPicCallback done, int timeoutMs)
{
    auto *transfer = new PictureTransfer(filePath, std::move(done),
                                         context ? context : sharedNetwork());
    const DownPicResult refused = transfer->start(address, timeoutMs);
    if (!refused.ok()) {
        // Answer from the event loop like every other outcome.
        QMetaObject::invokeMethod(transfer, [transfer, refused] { transfer->finish(refused); },
                                  Qt::QueuedConnection);
    }
}
