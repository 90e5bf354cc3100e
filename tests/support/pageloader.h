#pragma once

#include "download/pagesource.h"
#include "web/pagelink.h"

#include <QPointer>
#include <QStringList>

#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// Loads a page the way a browser pane hands it to a download job: redirects
// followed, the title and every link read from the HTML, links resolved
// against the page's address and their text kept as written. A page that
// does not load (no answer, an error status) comes back failed, without
// title or links. Waits for the answer in an event loop of its own.
PageSnapshot loadSnapshot(QNetworkAccessManager *network, const QString &address, int timeoutMs = 30000);

// The same reading of an HTML text received from `address`.
PageSnapshot snapshotOf(const QString &address, const QString &html);

// The same reading as a page source a job can walk: each load answers from
// the event loop, a newer load ends the one before, and a blank page loads
// nothing.
class TestPageSource : public PageSource
{
    Q_OBJECT
public:
    explicit TestPageSource(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~TestPageSource() override;

    void load(const QString &address) override;

    // Every address asked for, in order.
    QStringList loaded;

private:
    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    int m_timeoutMs = 30000;
};
