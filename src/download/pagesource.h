#pragma once

#include "web/pagelink.h"

#include <QObject>
#include <QString>

// Something that loads album pages for a job: a browser pane, a page without
// a view, or a reader of the HTML alone. load() returns at once; the page
// comes later with pageReady(), once it is complete or has failed.
//
// A source may also report pages nobody asked for (the user navigating a
// pane); whoever walks it decides what such a page means.
class PageSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void load(const QString &address) = 0;

signals:
    void pageReady(const PageSnapshot &page);
};
