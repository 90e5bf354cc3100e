#include "fetchpage.h"

#include "networksession.h"

#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStringDecoder>

namespace {

// Owns one page request. A child of the caller's context, so the request dies
// (and is aborted) with the context and nothing runs for a closed window.
class PageRequest : public QObject
{
public:
    PageRequest(const QString &charset, FetchCallback done, QObject *context)
        : QObject(context), m_charset(charset), m_done(std::move(done))
    {
    }

    ~PageRequest() override { WebRequest::dropReply(m_reply); }

    void start(const QUrl &url, const QString &body, int timeoutMs)
    {
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
        request.setTransferTimeout(timeoutMs);
        QNetworkAccessManager *network = sharedNetwork();
        m_reply = body.isEmpty()
                ? network->get(request)
                : network->sendCustomRequest(request, QByteArrayLiteral("GET"), body.toUtf8());
        connect(m_reply, &QNetworkReply::finished, this, &PageRequest::onFinished);
        // A manager deleted under a running reply takes the reply with it
        // without finished(); the caller still gets its one answer.
        connect(m_reply, &QObject::destroyed, this, [this] {
            if (m_done)
                finish({});
        });
    }

    void finish(const QString &text)
    {
        // `done` may delete the context and with it this object: detach first
        // and touch no member after the call.
        FetchCallback done = std::move(m_done);
        m_done = nullptr;
        setParent(nullptr);
        deleteLater();
        done(text);
    }

private:
    void onFinished()
    {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        disconnect(reply, &QObject::destroyed, this, nullptr);
        reply->deleteLater();
        // An HTTP error page still counts as a page; a broken transfer does not.
        // An aborted (timed out) reply is closed and has nothing left to read.
        const QByteArray bytes = reply->isOpen() ? reply->readAll() : QByteArray();
        const bool failed = WebRequest::transferBroken(reply, bytes.size()) || bytes.isEmpty();
        finish(failed ? QString() : BytesToText(bytes, m_charset));
    }

    QString m_charset;
    FetchCallback m_done;
    QPointer<QNetworkReply> m_reply;
};

} // namespace

void FetchPage(const QString &charset, const QString &address, const QString &body,
               QObject *context, FetchCallback done, int timeoutMs)
{
    auto *request = new PageRequest(charset, std::move(done),
                                    context ? context : sharedNetwork());
    const QUrl url = WebRequest::siteUrl(address);
    if (!url.isValid()) {
        // Keep the answer asynchronous even here, so callers see one order of events.
        QMetaObject::invokeMethod(request, [request] { request->finish({}); },
                                  Qt::QueuedConnection);
        return;
    }
    request->start(url, body, timeoutMs);
}

QString BytesToText(const QByteArray &bytes, const QString &charset)
{
    QStringDecoder decoder(charset.toLatin1().constData());
    if (!decoder.isValid())
        return {};
    return decoder.decode(bytes);
}
