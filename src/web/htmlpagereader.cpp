#include "htmlpagereader.h"

#include "htmlsnapshot.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

// One GET of an album page: keeps the body up to a limit, and answers the
// reader with a snapshot or a typed failure.
class HtmlTransfer : public WebTransfer
{
public:
    using Done = std::function<void(const HtmlReadResult &)>;

    HtmlTransfer(QNetworkAccessManager *network, const QString &address, const RequestOptions &options,
                 const QByteArray &userAgent, QObject *context, Done done)
        : WebTransfer(network, address, options, options.maxPageBytes, context)
        , m_address(address)
        , m_userAgent(userAgent)
        , m_done(std::move(done))
    {
    }

protected:
    QNetworkReply *send(QNetworkAccessManager *network, QNetworkRequest &request) override
    {
        request.setRawHeader("Accept", "text/html,application/xhtml+xml;q=0.9,*/*;q=0.8");
        if (!m_userAgent.isEmpty())
            request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
        return network->get(request);
    }

    WebResult restart() override
    {
        m_body.clear();
        m_finalAddress = m_address;
        m_contentType.clear();
        return {};
    }

    WebResult consume(QByteArrayView bytes) override
    {
        m_body += bytes;
        return {};
    }

    WebResult complete(const WebResult &response, const QNetworkReply *reply) override
    {
        m_finalAddress = reply->url().toString();
        m_contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        return response;
    }

    void deliver(const WebResult &result) override
    {
        const HtmlReadResult read = htmlReadResult(result, m_finalAddress, m_contentType, m_body);
        m_body.clear();
        Done done = std::move(m_done);
        done(read);
    }

private:
    QString m_address;
    QByteArray m_userAgent;
    Done m_done;
    QByteArray m_body;
    QString m_finalAddress;
    QByteArray m_contentType;
};

HtmlReadResult failed(HtmlReadFailure failure, const WebResult &response, const QString &address,
                      const QByteArray &contentType)
{
    HtmlReadResult result;
    result.failure = failure;
    result.web = response;
    result.contentType = contentType;
    result.snapshot = {address, {}, {}, true, response.failure};
    return result;
}

} // namespace

bool isHtmlContentType(const QByteArray &contentType)
{
    const QByteArray mime = contentType.split(';').first().trimmed().toLower();
    return mime == "text/html";
}

HtmlReadResult htmlReadResult(const WebResult &response, const QString &finalAddress,
                              const QByteArray &contentType, const QByteArray &body)
{
    if (response.error == WebError::HttpStatus)
        return failed(HtmlReadFailure::HttpStatus, response, finalAddress, contentType);
    if (response.error == WebError::TooLarge)
        return failed(HtmlReadFailure::TooLarge, response, finalAddress, contentType);
    if (!response.ok())
        return failed(HtmlReadFailure::Request, response, finalAddress, contentType);
    if (!isHtmlContentType(contentType))
        return failed(HtmlReadFailure::NotHtml, response, finalAddress, contentType);

    HtmlPage page = readHtmlBody(body, contentType, QUrl(finalAddress));
    if (!page.unsupportedCharset.isEmpty()) {
        HtmlReadResult result = failed(HtmlReadFailure::UnsupportedCharset, response, finalAddress, contentType);
        result.charset = page.unsupportedCharset;
        return result;
    }
    if (page.hasPasswordForm)
        return failed(HtmlReadFailure::LoginPage, response, finalAddress, contentType);
    HtmlReadResult result;
    result.web = response;
    result.contentType = contentType;
    result.snapshot = std::move(page.snapshot);
    return result;
}

HtmlPageReader::HtmlPageReader(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent)
    , m_network(network)
{
}

HtmlPageReader::~HtmlPageReader()
{
    abort();
}

void HtmlPageReader::read(const QString &address)
{
    abort();
    auto *transfer = new HtmlTransfer(m_network, address, m_options, m_userAgent, this,
                                      [this](const HtmlReadResult &result) {
                                          m_transfer = nullptr;
                                          emit finished(result);
                                      });
    m_transfer = transfer;
    transfer->start();
}

void HtmlPageReader::abort()
{
    // Deleting the transfer aborts its reply or its retry wait; it never answers.
    delete m_transfer.data();
    m_transfer = nullptr;
}
