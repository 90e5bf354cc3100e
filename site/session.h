#pragma once

#include <QByteArray>
#include <QString>

// The login cookie carries its own proof (a digest of the user name), so a
// cookie stays valid forever and across restarts of the site without any
// table of sessions.
inline constexpr char SessionCookieName[] = "ksession";

QByteArray sessionValue(const QString &userName);
bool isValidSessionValue(const QByteArray &value);
// Looks for a valid ksession among the cookies of a Cookie request header.
bool hasValidSession(const QByteArray &cookieHeader);
