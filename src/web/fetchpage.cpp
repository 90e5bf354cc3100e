#include "fetchpage.h"
#include "curlnetwork.h"
#include "transferrequests.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>

PageRequest::PageRequest(QNetworkAccessManager *network, const QString &address, const QString &charset,
                         const QString &body, PageCallback done, const RequestOptions &options, QObject *context)
    : WebTransfer(network, address, options, options.maxPageBytes, context)
    , m_charset(charset)
    , m_body(body)
    , m_done(std::move(done))
{
}

QNetworkReply *PageRequest::send(QNetworkAccessManager *network, QNetworkRequest &request)
{
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    return m_body.isEmpty() ? CurlNetworkManager::get(network, request)
                            : network->sendCustomRequest(request, QByteArrayLiteral("GET"), m_body.toUtf8());
}

WebResult PageRequest::restart()
{
    m_bytes.clear();
    m_text.clear();
    return {};
}

WebResult PageRequest::consume(QByteArrayView bytes)
{
    m_bytes += bytes;
    return {};
}

WebResult PageRequest::complete(const WebResult &response, const QNetworkReply *)
{
    // An error page keeps its text: a caller may want to read it.
    m_text = m_bytes.isEmpty() ? QString() : BytesToText(m_bytes, m_charset);
    return response;
}

void PageRequest::deliver(const WebResult &result)
{
    PageResult page;
    static_cast<WebResult &>(page) = result;
    page.text = m_text;
    PageCallback done = std::move(m_done);
    done(page);
}

void fetchPage(QNetworkAccessManager *network, const QString &charset, const QString &address,
               QObject *context, PageCallback done, const RequestOptions &options)
{
    (new PageRequest(network, address, charset, QString(), std::move(done), options, context))->start();
}

void fetchText(QNetworkAccessManager *network, const QString &charset, const QString &address,
               const QString &body, QObject *context, FetchCallback done, int timeoutMs)
{
    RequestOptions options;
    options.timeoutMs = timeoutMs;
    options.retry = RetryPolicy::none();
    auto textOnly = [done = std::move(done)](const PageResult &result) {
        // An error page still counts as a page; a broken transfer does not.
        const bool page = result.ok() || result.error == WebError::HttpStatus;
        done(page ? result.text : QString());
    };
    (new PageRequest(network, address, charset, body, std::move(textOnly), options, context))->start();
}

QString BytesToText(const QByteArray &bytes, const QString &charset)
{
    QStringDecoder decoder(charset.toLatin1().constData());
    if (!decoder.isValid())
        return {};
    return decoder.decode(bytes);
}
