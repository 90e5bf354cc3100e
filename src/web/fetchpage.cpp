#include "fetchpage.h"

#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStringDecoder>

namespace {

PageResult failure(WebError error, const QString &message, int httpStatus = 0)
{
    PageResult result;
    result.error = error;
    result.message = message;
    result.httpStatus = httpStatus;
    return result;
}

// Owns one page request. A child of the caller's context, so the request dies
// (and is aborted) with the context and nothing runs for a closed window.
class PageRequest : public QObject
{
public:
    PageRequest(const QString &charset, PageCallback done, QObject *context)
        : QObject(context), m_charset(charset), m_done(std::move(done))
    {
    }

    ~PageRequest() override { WebRequest::dropReply(m_reply); }

    void start(QNetworkAccessManager *network, const QUrl &url, const QString &body, int timeoutMs)
    {
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
        request.setTransferTimeout(timeoutMs);
        m_reply = body.isEmpty()
                ? network->get(request)
                : network->sendCustomRequest(request, QByteArrayLiteral("GET"), body.toUtf8());
        connect(m_reply, &QNetworkReply::finished, this, &PageRequest::onFinished);
        // A manager deleted under a running reply takes the reply with it
        // without finished(); the caller still gets its one answer.
        connect(m_reply, &QObject::destroyed, this, [this] {
            if (m_done)
                finish(failure(WebError::Aborted, QStringLiteral("网络会话已关闭")));
        });
    }

    void finish(const PageResult &result)
    {
        // `done` may delete the context and with it this object: detach first
        // and touch no member after the call.
        PageCallback done = std::move(m_done);
        m_done = nullptr;
        setParent(nullptr);
        deleteLater();
        done(result);
    }

private:
    void onFinished()
    {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        disconnect(reply, &QObject::destroyed, this, nullptr);
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // An aborted (timed out) reply is closed and has nothing left to read.
        const QByteArray bytes = reply->isOpen() ? reply->readAll() : QByteArray();
        if (WebRequest::transferBroken(reply, bytes.size())) {
            if (reply->error() == QNetworkReply::OperationCanceledError)
                return finish(failure(WebError::Timeout, QStringLiteral("等待超时"), status));
            return finish(failure(WebError::Network, reply->errorString(), status));
        }
        PageResult result;
        result.httpStatus = status;
        result.attempts = 1;
        result.text = bytes.isEmpty() ? QString() : BytesToText(bytes, m_charset);
        if (status >= 400) {
            result.error = WebError::HttpStatus;
            result.message = QStringLiteral("服务器返回 HTTP %1").arg(status);
        }
        finish(result);
    }

    QString m_charset;
    PageCallback m_done;
    QPointer<QNetworkReply> m_reply;
};

void startRequest(QNetworkAccessManager *network, const QString &charset, const QString &address,
                  const QString &body, QObject *context, PageCallback done, int timeoutMs)
{
    auto *request = new PageRequest(charset, std::move(done), context ? context : network);
    const QUrl url = WebRequest::siteUrl(address);
    if (!url.isValid() || !network) {
        // Keep the answer asynchronous even here, so callers see one order of events.
        const PageResult refused = failure(WebError::BadAddress, QStringLiteral("不是网址: %1").arg(address));
        QMetaObject::invokeMethod(request, [request, refused] { request->finish(refused); },
                                  Qt::QueuedConnection);
        return;
    }
    request->start(network, url, body, timeoutMs);
}

} // namespace

void fetchPage(QNetworkAccessManager *network, const QString &charset, const QString &address,
               QObject *context, PageCallback done, const RequestOptions &options)
{
    startRequest(network, charset, address, QString(), context, std::move(done), options.timeoutMs);
}

void FetchPage(QNetworkAccessManager *network, const QString &charset, const QString &address,
               const QString &body, QObject *context, FetchCallback done, int timeoutMs)
{
    startRequest(network, charset, address, body, context,
                 [done = std::move(done)](const PageResult &result) {
                     // An error page still counts as a page; a broken transfer does not.
                     const bool page = result.ok() || result.error == WebError::HttpStatus;
                     done(page ? result.text : QString());
                 },
                 timeoutMs);
}

QString BytesToText(const QByteArray &bytes, const QString &charset)
{
    QStringDecoder decoder(charset.toLatin1().constData());
    if (!decoder.isValid())
        return {};
    return decoder.decode(bytes);
}
