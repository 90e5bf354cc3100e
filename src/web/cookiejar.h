#pragma once

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QTimer>

// The network session's own cookies, kept in a file. The browser keeps its
// cookies across runs, but Qt WebEngine 6.4 does not hand stored cookies
// back through loadAllCookies(), so the network session keeps the ones it
// was given itself. Without a file the cookies live for the run only.
class PersistentCookieJar : public QNetworkCookieJar
{
public:
    explicit PersistentCookieJar(const QString &file = {}, QObject *parent = nullptr);
    ~PersistentCookieJar() override;

    // setCookiesFromUrl() stores through these two as well.
    bool insertCookie(const QNetworkCookie &cookie) override;
    bool deleteCookie(const QNetworkCookie &cookie) override;

    QList<QNetworkCookie> storedCookies() const { return allCookies(); }

private:
    void scheduleSave();
    void save();

    QString m_file;
    QTimer m_saveTimer;
};
