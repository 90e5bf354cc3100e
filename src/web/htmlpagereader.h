#pragma once

#include "pagelink.h"
#include "webrequest.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;

// Why an album page read as HTML gave no snapshot.
enum class HtmlReadFailure {
    None,
    Request,            // the request failed (network, time-out, cut body ...): see `web`
    HttpStatus,         // the site answered 4xx or 5xx: see `web.httpStatus`
    NotHtml,            // the body is something else: see `contentType`
    TooLarge,           // the body passed the request's page size cap
    LoginPage,          // the site answered with a form that asks for a password
    UnsupportedCharset, // the page's charset cannot be decoded here: see `charset`
};

struct HtmlReadResult {
    HtmlReadFailure failure = HtmlReadFailure::None;
    WebResult web;          // the request's own outcome: status, attempts, message
    QByteArray contentType; // as the site sent it
    QByteArray charset;     // for UnsupportedCharset
    // The address (after redirects) always; title and links only when the
    // page was read. A failure marks it failed, as a pane marks a failed load.
    PageSnapshot snapshot;

    bool ok() const { return failure == HtmlReadFailure::None; }
};

// Reads one album page over the network session (its cookies, its agent)
// and hands over the snapshot a browser pane would give of it, without
// rendering it: only the page itself is requested, nothing it refers to.
// Redirects are followed. One page at a time: reading another address, or
// abort(), forgets the page being read, whose answer then never comes.
class HtmlPageReader : public QObject
{
    Q_OBJECT
public:
    explicit HtmlPageReader(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~HtmlPageReader() override;

    // Its maxPageBytes also bounds the parser's memory.
    void setRequestOptions(const RequestOptions &options) { m_options = options; }
    // The browser pane's agent, so the site sees one browser; Qt's own when empty.
    void setUserAgent(const QByteArray &agent) { m_userAgent = agent; }

    // Returns at once; finished() follows from the event loop.
    void read(const QString &address);
    void abort();
    bool isReading() const { return !m_transfer.isNull(); }

signals:
    void finished(const HtmlReadResult &result);

private:
    QPointer<QNetworkAccessManager> m_network;
    QPointer<QObject> m_transfer;
    RequestOptions m_options;
    QByteArray m_userAgent;
};

// The outcome of a response: whether its status, type and content make it an
// album page, and the snapshot when they do. `finalAddress` is where the
// redirects ended.
HtmlReadResult htmlReadResult(const WebResult &response, const QString &finalAddress,
                              const QByteArray &contentType, const QByteArray &body);

// True for a Content-Type a browser renders as an HTML document.
bool isHtmlContentType(const QByteArray &contentType);
