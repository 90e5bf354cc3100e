#include "cookiejar.h"

#include <QDateTime>
#include <QFile>
#include <QNetworkCookie>
#include <QSaveFile>

PersistentCookieJar::PersistentCookieJar(const QString &file, QObject *parent)
    : QNetworkCookieJar(parent)
    , m_file(file)
{
    // Cookies change in bursts (a page sets several); write once per burst.
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(200);
    QObject::connect(&m_saveTimer, &QTimer::timeout, this, [this] { save(); });

    if (m_file.isEmpty())
        return;
    QFile in(m_file);
    if (!in.open(QIODevice::ReadOnly))
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<QNetworkCookie> cookies;
    for (const QByteArray &line : in.readAll().split('\n')) {
        for (const QNetworkCookie &c : QNetworkCookie::parseCookies(line)) {
            if (c.isSessionCookie() || c.expirationDate() > now)
                cookies << c;
        }
    }
    setAllCookies(cookies);
}

PersistentCookieJar::~PersistentCookieJar()
{
    if (m_saveTimer.isActive())
        save();
}

bool PersistentCookieJar::insertCookie(const QNetworkCookie &cookie)
{
    const bool changed = QNetworkCookieJar::insertCookie(cookie);
    scheduleSave();
    return changed;
}

bool PersistentCookieJar::deleteCookie(const QNetworkCookie &cookie)
{
    const bool changed = QNetworkCookieJar::deleteCookie(cookie);
    scheduleSave();
    return changed;
}

void PersistentCookieJar::scheduleSave()
{
    if (!m_file.isEmpty())
        m_saveTimer.start();
}

void PersistentCookieJar::save()
{
    m_saveTimer.stop();
    QSaveFile out(m_file);
    if (!out.open(QIODevice::WriteOnly))
        return;
    // Session cookies too: the browser keeps them across runs, and a login
    // must hold for the page fetch just as it does in the pane.
    for (const QNetworkCookie &c : allCookies())
        out.write(c.toRawForm(QNetworkCookie::Full) + '\n');
    out.commit();
}
