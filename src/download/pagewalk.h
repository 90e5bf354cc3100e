#pragma once

#include "web/pagelink.h"

#include <QObject>
#include <QPointer>
#include <QString>

class DownloadJob;
class PageSource;

// Drives a job's collection through a page source: every page the source
// completes while the job collects goes to the job, and the page the job
// names next is asked of the source, until collection is over. A job that
// paused names the page to load again when it goes on.
//
// The walk is a child of its job and ends with it. A source it had to load
// pages into is left on a blank page afterwards; one it never asked (the
// album was read from the page already shown) is left as it is.
class PageWalk : public QObject
{
    Q_OBJECT
public:
    PageWalk(DownloadJob *job, PageSource *source);

    // Collection begins by loading the album's first page.
    void start(const QString &firstAddress);
    // Collection begins with a page the source has already completed (the
    // album on show in a pane); nothing is loaded for it.
    void startFromShownPage(const PageSnapshot &shown);

    // False while (and after) the walk needed no page but the one shown.
    bool askedForPages() const { return m_asked; }

private:
    void onPage(const PageSnapshot &page);
    void ask(const QString &address);
    void finish();

    QPointer<DownloadJob> m_job;
    QPointer<PageSource> m_source;
    QMetaObject::Connection m_pages;
    bool m_asked = false;
};
