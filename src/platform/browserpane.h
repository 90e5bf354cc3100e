#pragma once

#include "web/pagelink.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

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
    const PageSnapshot &snapshot() const { return m_snapshot; }
    QString Title() const { return m_snapshot.title; }
    const QList<PageLink> &links() const { return m_snapshot.links; }

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
    void onLoadStarted();
    void onLoadFinished(bool ok);
    QWebEnginePage *createWindowPage();
    static QString loadErrorText(const QWebEngineLoadingInfo &info);

    QWebEngineView *m_view = nullptr;
    Page *m_page = nullptr;
    PageSnapshot m_snapshot;
    QString m_loadError;
    int m_loadStatus = 0;
    quint64 m_loadSerial = 0;
    bool m_registerAsBrowser = false;
};

// The one browser profile of the program: persistent, so a login survives a
// restart, and its cookies mirrored into the shared network session.
namespace BrowserProfile {
// Must be called before the first use; tests point it at a temporary folder.
void setStoragePath(const QString &path);
QWebEngineProfile *instance();
// The network session the profile's cookies are mirrored into; it keeps them
// in the profile's folder.
NetworkSession *network();
// Deletes the profile; every page must be gone by then.
void shutdown();
} // namespace BrowserProfile

// Settings Qt WebEngine needs before the application object exists.
void prepareWebEngine();
