#pragma once

#include "browser/browserprofile.h"
#include "browser/pagereader.h"
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
