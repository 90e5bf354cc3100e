#pragma once

#include "download/pagesource.h"
#include "web/pagelink.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

class QTimer;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;
class QWebEnginePage;
class BrowserPane;
class NetworkSession;

// A page asked for a new window. The handler either cancels it or names the
// pane that is to receive the new window.
struct NewWindowRequest {
    QUrl requestedUrl;              // not always known when the request arrives
    BrowserPane *target = nullptr;
    bool cancel = false;
};

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

// The embedded browser pane: a Qt WebEngine view that offers what the
// program needs of a browser - navigation, the document's title and links,
// document-complete and new-window events.
class BrowserPane : public QWidget
{
    Q_OBJECT
public:
    explicit BrowserPane(QWebEngineProfile *profile, QWidget *parent = nullptr);
    ~BrowserPane() override;

    // Returns at once; the load completes later with documentComplete().
    void navigate(const QString &address);

    // The address of the document now shown.
    QString locationUrl() const;
    // What the last document that completed loading offers.
    const PageSnapshot &snapshot() const { return m_reader->snapshot(); }
    QString Title() const { return snapshot().title; }
    const QList<PageLink> &links() const { return snapshot().links; }

    // The pane as a job's page source: load() navigates, and every document
    // that completes is handed on, the user's own navigation too.
    PageSource *pageSource() const;

    void setRegisterAsBrowser(bool on) { m_registerAsBrowser = on; }
    bool registerAsBrowser() const { return m_registerAsBrowser; }

    QWebEngineView *view() const { return m_view; }
    QWebEnginePage *page() const;

signals:
    // Raised once the document's title and links can be read.
    void documentComplete(const QString &address);
    // Raised synchronously; the handler fills in target or cancel.
    void newWindow(NewWindowRequest &request);

private:
    class Page;
    class Source;
    void onPageRead(const PageSnapshot &page);
    void loadHeld();
    QWebEnginePage *createWindowPage();

    QWebEngineView *m_view = nullptr;
    Page *m_page = nullptr;
    PageReader *m_reader = nullptr;
    Source *m_source = nullptr;
    bool m_registerAsBrowser = false;
    // A load is under way; an address asked for meanwhile waits for its end.
    bool m_loading = false;
    QString m_heldAddress;
    QTimer *m_holdWait = nullptr;
};

// The one browser profile of the program: persistent, so a login survives a
// restart, and its cookies mirrored into the shared network session.
namespace BrowserProfile {
// Must be called before the first use; tests point it at a temporary folder.
void setStoragePath(const QString &path);
// Where the profile keeps the login, known before the profile is made, so
// that it can be locked before anything of it is read.
QString storageFolder();
QWebEngineProfile *instance();
// The network session the profile's cookies are mirrored into; it keeps them
// in the profile's folder.
NetworkSession *network();
// Deletes the profile; every page must be gone by then.
void shutdown();
} // namespace BrowserProfile

// Settings Qt WebEngine needs before the application object exists.
void prepareWebEngine();
