#include "downpic.h"


#include <QFileInfo>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTemporaryFile>

namespace {

DownPicResult failure(WebError error, const QString &message, int httpStatus = 0)
{
    DownPicResult result;
    result.error = error;
    result.httpStatus = httpStatus;
    result.message = message;
    return result;
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

    DownPicResult start(QNetworkAccessManager *network, const QString &address, int timeoutMs)
    {
        const QUrl url = WebRequest::siteUrl(address);
        if (!url.isValid())
            return failure(WebError::BadAddress, QStringLiteral("not a web address: %1").arg(address));
        const QFileInfo target(m_filePath);
        if (target.fileName().isEmpty())
            return failure(WebError::BadAddress, QStringLiteral("no file name in %1").arg(m_filePath));
        if (!QFileInfo(target.absolutePath()).isDir())
            return failure(WebError::NoFolder, QStringLiteral("no folder %1").arg(target.absolutePath()));
        if (target.exists() || target.isSymLink())
            return failure(WebError::FileExists, QStringLiteral("%1 exists already").arg(m_filePath));

        m_part.setFileTemplate(target.absolutePath() + QLatin1String("/.") + target.fileName()
                               + QLatin1String(".part-XXXXXX"));
        if (!m_part.open())
            return failure(WebError::WriteFailed, m_part.errorString());

        QNetworkRequest request(url);
        request.setTransferTimeout(timeoutMs);
        m_reply = network->get(request);
        // Written as it arrives, so a large picture is never held in memory whole.
        connect(m_reply, &QNetworkReply::readyRead, this, &PictureTransfer::onReadyRead);
        connect(m_reply, &QNetworkReply::finished, this, &PictureTransfer::onFinished);
        // A manager deleted under a running reply takes the reply with it
        // without finished(); the caller still gets its one answer.
        connect(m_reply, &QObject::destroyed, this, [this] {
            if (m_done)
                finish(failure(WebError::Aborted, QStringLiteral("network session closed")));
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
            return failure(WebError::WriteFailed, m_part.errorString());
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 400)
            return failure(WebError::HttpStatus,
                           QStringLiteral("HTTP %1 for %2").arg(status).arg(reply->url().toString()),
                           status);
        if (WebRequest::transferBroken(reply, m_received)) {
            // Nobody else cancels a reply we still listen to: this is the transfer timeout.
            if (reply->error() == QNetworkReply::OperationCanceledError)
                return failure(WebError::Network, QStringLiteral("timed out"), status);
            if (status != 0
                && (reply->error() == QNetworkReply::NoError
                    || reply->error() == QNetworkReply::RemoteHostClosedError))
                return failure(WebError::Truncated,
                               QStringLiteral("only %1 bytes arrived").arg(m_received), status);
            return failure(WebError::Network, reply->errorString(), status);
        }
        if (!m_part.flush())
            return failure(WebError::WriteFailed, m_part.errorString(), status);
        m_part.close();

        // A file may have taken the name meanwhile: QTemporaryFile::rename
        // never replaces one.
        if (!m_part.rename(m_filePath)) {
            const bool exists = QFileInfo::exists(m_filePath);
            return failure(exists ? WebError::FileExists : WebError::WriteFailed,
                           m_part.errorString(), status);
        }
        m_part.setAutoRemove(false);
        DownPicResult saved;
        saved.httpStatus = status;
        saved.attempts = 1;
        return saved;
    }

    QString m_filePath;
    DownPicCallback m_done;
    QTemporaryFile m_part;
    QPointer<QNetworkReply> m_reply;
    qint64 m_received = 0;
    bool m_writeFailed = false;
};

} // namespace

void DownPic(QNetworkAccessManager *network, const QString &address, const QString &filePath,
             QObject *context, DownPicCallback done, const RequestOptions &options)
{
    auto *transfer = new PictureTransfer(filePath, std::move(done), context ? context : network);
    const DownPicResult refused = network ? transfer->start(network, address, options.timeoutMs)
                                          : failure(WebError::Aborted, QStringLiteral("network session closed"));
    if (!refused.ok()) {
        // Answer from the event loop like every other outcome.
        QMetaObject::invokeMethod(transfer, [transfer, refused] { transfer->finish(refused); },
                                  Qt::QueuedConnection);
    }
}
