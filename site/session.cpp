#include "session.h"

#include <QCryptographicHash>
#include <QList>

namespace {

QByteArray digestOf(const QByteArray &hexName)
{
    return QCryptographicHash::hash("kestrelnet-demo|" + hexName, QCryptographicHash::Sha256).toHex().left(16);
}

} // namespace

QByteArray sessionValue(const QString &userName)
{
    QString name = userName.trimmed().left(64);
    if (name.isEmpty())
        name = QStringLiteral("guest");
    const QByteArray hexName = name.toUtf8().toHex();
    return hexName + '.' + digestOf(hexName);
}

bool isValidSessionValue(const QByteArray &value)
{
    const qsizetype dot = value.lastIndexOf('.');
    if (dot <= 0)
        return false;
    const QByteArray hexName = value.left(dot);
    return value.mid(dot + 1) == digestOf(hexName);
}

bool hasValidSession(const QByteArray &cookieHeader)
{
    const QList<QByteArray> cookies = cookieHeader.split(';');
    for (const QByteArray &cookie : cookies) {
        const QByteArray trimmed = cookie.trimmed();
        const qsizetype equals = trimmed.indexOf('=');
        if (equals > 0 && trimmed.left(equals) == SessionCookieName
            && isValidSessionValue(trimmed.mid(equals + 1)))
            return true;
    }
    return false;
}
