#pragma once

#include "htmlpagesource.h"
#include "web/pagelink.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class DownloadJob;
class PageSource;

// Drives a job's collection through a page source: every page the source
// completes while the job collects goes to the job, and the page the job
// names next is asked of the source, until collection is over. A job that
// paused names the page to load again when it goes on.
//
// With an HTML source (the fast mode), the album's first page is read both
// ways; only when the two readings agree are the later pages read as HTML.
// A page the HTML reading finds no next page on is read by the pane once
// more, and the pane goes on from there: a next link a script makes on a
// later page is not taken for the album's end.
//
// The walk is a child of its job and ends with it. A source it had to load
// pages into is left on a blank page once pictures are fetched after the
// album is read; one it never asked (the album was read from the page
// already shown), or whose album had nothing left to fetch, is left as it is.
class PageWalk : public QObject
{
    Q_OBJECT
public:
    PageWalk(DownloadJob *job, PageSource *source);

    // Call before start: later pages may then be read as HTML.
    void setHtmlSource(HtmlPageSource *html);

    // Collection begins by loading the album's first page.
    void start(const QString &firstAddress);
    // Collection begins with a page the source has already completed (the
    // album on show in a pane); nothing is loaded for it.
    void startFromShownPage(const PageSnapshot &shown);

    // False while (and after) the walk needed no page but the one shown.
    bool askedForPages() const { return m_asked; }
    // Whether the source is sent to a blank page once the album is read. A
    // queue keeps it for its last album: blanking between albums would race
    // the next album's first load in the same page.
    void setBlankWhenDone(bool blank) { m_blankWhenDone = blank; }
    // Whether the album's later pages are being read as HTML.
    bool readsHtml() const { return m_mode == Mode::Html; }

signals:
    // The first page's two readings disagree: the pane walks the album.
    void paneChosen(PaneFallback why, const QString &address);

private:
    enum class Mode { Pane, Deciding, Html, PaneConfirms };

    void onPage(const PageSnapshot &page);
    void onPanePage(const PageSnapshot &page);
    void onHtmlPage(const PageSnapshot &page);
    void decide();
    void ask(const QString &address);
    void finish();
    void blank();

    QPointer<DownloadJob> m_job;
    QPointer<PageSource> m_source;
    QPointer<HtmlPageSource> m_html;
    QMetaObject::Connection m_pages;
    QMetaObject::Connection m_htmlPages;
    QMetaObject::Connection m_blankOnFetch;
    Mode m_mode = Mode::Pane;
    std::optional<PageSnapshot> m_paneFirst;
    std::optional<PageSnapshot> m_htmlFirst;
    bool m_asked = false;
    bool m_paneAsked = false;
    bool m_blankWhenDone = true;
};
