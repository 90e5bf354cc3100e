#pragma once

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QTimer>

// Makes `folder` and every folder between `top` (itself included) and it
// readable by their owner alone (0700): the ones it has to create are made
// so, the ones an earlier run made are tightened. A folder that is a
// symbolic link is left as it is. `top` must be `folder` or lie above it;
// nothing above `top` is touched. False when a folder could not be made.
bool makePrivateFolder(const QString &top, const QString &folder);

// The network session's own cookies, kept in a file readable by its owner
// alone (0600) from the moment it exists; a file an earlier run left
// readable by others is tightened when the jar reads it. The browser keeps its
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
