#pragma once

#include "app/mainform.h"
#include "download/albumqueue.h"
#include "pageloader.h"
#include "platform/browserpane.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

// Runs events until `done` holds. Like QTest::qWaitFor, but without the
// 10 ms sleep between its looks, during which Qt WebEngine's work on this
// thread would stand still.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 30000)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer look; // wakes the wait below now and then even when nothing happens
    look.start(5);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// Waits until `pane` completes a document whose address contains `addressPart`.
inline bool waitForDocument(BrowserPane *pane, const QString &addressPart, int timeoutMs = 30000)
{
    QSignalSpy spy(pane, &BrowserPane::documentComplete);
    return waitUntil([&] {
        for (const auto &args : spy)
            if (args.at(0).toString().contains(addressPart))
                return true;
        return false;
    }, timeoutMs);
}

// Every main window that exists now.
inline QList<MainForm *> mainForms()
{
    QList<MainForm *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<MainForm *>(w))
            out << f;
    return out;
}

// The texts of column `c` of a list, row by row.
inline QStringList columnTexts(const QAbstractItemView *list, int c)
{
    QStringList out;
    for (int i = 0; i < list->model()->rowCount(); ++i)
        out << list->model()->index(i, c).data().toString();
    return out;
}

// The albums at `addresses` downloaded into `saveFolder` on the core alone,
// fast and as the member tab would: the folders an earlier run left. True
// when every picture came.
inline bool downloadAlbums(QNetworkAccessManager *network, const QString &photoHostBase, const QString &saveFolder,
                           const QStringList &addresses, int timeoutMs = 90000)
{
    JobSettings settings;
    settings.source = JobSource::HiddenPane;
    settings.saveFolder = saveFolder;
    settings.photoHostBase = photoHostBase;
    settings.network = network;
    settings.pauseMs = 0;
    TestPageSource source(network);
    QList<AlbumQueue::Album> albums;
    for (const QString &address : addresses)
        albums.append({address, address, {}});
    AlbumQueue queue(settings, &source, albums);
    bool done = false;
    QObject::connect(&queue, &AlbumQueue::finished, &queue, [&] { done = true; });
    return queue.start() && waitUntil([&] { return done; }, timeoutMs) && queue.report().failed == 0;
}
