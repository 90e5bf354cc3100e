#pragma once

#include <QObject>

class PersistentCookieJar;
class QNetworkAccessManager;

// The program's one network session: page fetches and picture downloads go
// through its manager, so they share its cookie jar, into which the browser
// panes mirror the site's cookies. With a cookie file the cookies outlive
// the run.
class NetworkSession : public QObject
{
    Q_OBJECT
public:
    explicit NetworkSession(const QString &cookieFile = {}, QObject *parent = nullptr);
    ~NetworkSession() override;

    QNetworkAccessManager *manager() const { return m_manager; }
    PersistentCookieJar *cookieJar() const { return m_jar; }

private:
    QNetworkAccessManager *m_manager;
    PersistentCookieJar *m_jar;
};
