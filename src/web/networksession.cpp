#include "networksession.h"

#include "cookiejar.h"

#include <QNetworkAccessManager>

NetworkSession::NetworkSession(const QString &cookieFile, QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
    , m_jar(new PersistentCookieJar(cookieFile))
{
    // The manager takes the jar as its child.
    m_manager->setCookieJar(m_jar);
}

NetworkSession::~NetworkSession() = default;

