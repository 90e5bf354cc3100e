#pragma once

#include "pagesource.h"
#include "web/htmlpagereader.h"

#include <QString>

class QNetworkAccessManager;

// Album pages read as HTML over the network session, without rendering them:
// one request a page. A page that cannot be read is handed over failed, so
// it ends collection as a failed pane load does; lastResult() says why.
class HtmlPageSource : public PageSource
{
    Q_OBJECT
public:
    explicit HtmlPageSource(QNetworkAccessManager *network, QObject *parent = nullptr);

    void setRequestOptions(const RequestOptions &options) { m_reader.setRequestOptions(options); }
    // The browser pane's agent, so the site sees one browser.
    void setUserAgent(const QByteArray &agent) { m_reader.setUserAgent(agent); }

    void load(const QString &address) override;
    // Forgets the page being read; its answer never comes.
    void cancel() { m_reader.abort(); }

    const HtmlReadResult &lastResult() const { return m_last; }
    // Pages asked of the site so far.
    int requests() const { return m_requests; }

private:
    HtmlPageReader m_reader;
    HtmlReadResult m_last;
    int m_requests = 0;
};

// Why an album is collected through the pane although the fast mode could
// read it as HTML: what the two readings of its first page disagree on.
enum class PaneFallback {
    None,               // they agree: the HTML reading may stand for the pane
    TitleDiffers,
    PicturePagesDiffer, // e.g. links the page's scripts make
    NextPageDiffers,
    UnsupportedCharset,
    HtmlUnreadable,     // the HTML reading failed where the pane's did not
    PaneFailed,         // the pane's reading failed: nothing to compare with
};

// Compares the pane's reading of a page with the HTML reading of it.
PaneFallback CompareReadings(const PageSnapshot &pane, const HtmlReadResult &html, const QString &photoHostBase,
                             bool requireCurpage);
