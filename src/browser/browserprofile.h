#pragma once

#include <QString>

class NetworkSession;
class QWebEngineProfile;

// The one browser profile of the program: persistent, so a login survives a
// restart, and its cookies mirrored into the shared network session.
namespace BrowserProfile {
// Must be called before the first use; tests point it at a temporary folder.
void setStoragePath(const QString &path);
// Where the profile keeps the login, known before the profile is made, so
// that it can be locked before anything of it is read.
QString storageFolder();
QWebEngineProfile *instance();
// The network session the profile's cookies are mirrored into; it keeps them
// in the profile's folder.
NetworkSession *network();
// Deletes the profile; every page must be gone by then.
void shutdown();
} // namespace BrowserProfile

// Settings Qt WebEngine needs before the application object exists.
void prepareWebEngine();
