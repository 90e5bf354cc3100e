#pragma once

#include "download/pagesource.h"

#include <QTimer>

class PageReader;
class QWebEngineProfile;
class QWebEnginePage;

// A browser page without a view, as a job's page source: the same browser
// profile (and so the same login) as the panes, and the same reading of each
// page (title, links with their text as written). For running jobs where
// there is no window; it renders no images.
//
// A load that has not completed within the load time-out is given up and
// reported as failed, so a page that never finishes cannot hold a job.
class HeadlessPage : public PageSource
{
    Q_OBJECT
public:
    explicit HeadlessPage(QWebEngineProfile *profile, QObject *parent = nullptr);
    ~HeadlessPage() override;

    void load(const QString &address) override;

    // Replaced by a fresh page when a load is given up.
    QWebEnginePage *page() const { return m_page; }
    void setLoadTimeout(int ms) { m_timeout.setInterval(ms); }
    int loadTimeout() const { return m_timeout.interval(); }

    static constexpr int DefaultLoadTimeoutMs = 60000;

private:
    void makePage();
    void dropPage();
    void onPageRead(const PageSnapshot &page);
    void onTimeout();

    QWebEngineProfile *m_profile;
    QWebEnginePage *m_page = nullptr;
    PageReader *m_reader = nullptr;
    QTimer m_timeout;
    QString m_loading;
};
