#include "webrequest.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace WebRequest {

QUrl siteUrl(const QString &address)
{
    // Tolerant like a browser: a blank typed into an id is sent encoded.
    const QUrl url(address, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url;
}

bool transferBroken(const QNetworkReply *reply, qint64 bodyBytes)
{
    const QNetworkReply::NetworkError error = reply->error();
    const bool hasStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    // Content (2xx) and server (4xx) error codes only mirror the HTTP status;
    // everything else means the bytes did not arrive as sent.
    const bool statusError = hasStatus
            && ((error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
                || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError));
    if (error != QNetworkReply::NoError && !statusError)
        return true;
    // Qt does not always flag a connection closed before Content-Length was
    // reached. A compressed body is counted after decompression, so only a
    // plain one can be checked.
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    if (length.isValid() && (encoding.isEmpty() || encoding == "identity"))
        return bodyBytes < length.toLongLong();
    return false;
}

void dropReply(QPointer<QNetworkReply> &reply)
{
    if (!reply)
        return;
    QNetworkReply *r = reply;
    reply = nullptr;
    // abort() emits finished() at once; nobody must hear it.
    r->disconnect();
    r->abort();
    r->deleteLater();
}

} // namespace WebRequest
