#pragma once

#include "download/pagesource.h"

#include <QObject>

class QWebEngineLoadingInfo;
class QWebEnginePage;

// Reads what each load of a page offers once it has completed: the
// document's title and links, or why the load failed. The pane and the page
// without a view read pages the same way through it.
class PageReader : public QObject
{
    Q_OBJECT
public:
    // A child of `page`.
    explicit PageReader(QWebEnginePage *page);

    // What the last load that completed offers.
    const PageSnapshot &snapshot() const { return m_snapshot; }
    // Answers still on their way are dropped: their page is going away, or
    // its owner has given up on them.
    void forget() { ++m_loadSerial; }

signals:
    void pageRead(const PageSnapshot &page);

private:
    void onLoadFinished(bool ok);
    static QString loadErrorText(const QWebEngineLoadingInfo &info);

    QWebEnginePage *m_page;
    PageSnapshot m_snapshot;
    QString m_loadError;
    int m_loadStatus = 0;
    quint64 m_loadSerial = 0;
};
