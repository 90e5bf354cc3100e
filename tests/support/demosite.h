#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>

// Starts the demo site on a free port of 127.0.0.1 for one test program and
// stops it again. An empty seed starts the site with its built-in content.
class DemoSite
{
public:
    explicit DemoSite(const QByteArray &seedJson = {});
    ~DemoSite();

    DemoSite(const DemoSite &) = delete;
    DemoSite &operator=(const DemoSite &) = delete;

    bool start();
    void stop();

    quint16 port() const { return m_port; }
    QString base() const; // "http://127.0.0.1:PORT"
    QString url(const QString &path) const { return base() + path; }

    static QString executablePath();

    // Test endpoints, answered synchronously (a nested event loop of at most
    // ten seconds).
    // {"albumPages", "picturePages", "pictures", "other"}: requests counted
    // since the start or the last reset; `reset` starts a new count.
    QJsonObject requests(bool reset = false) const;
    // Adds `count` pictures (and pages) to an album; its new picture count,
    // or -1 when the site refused.
    int grow(const QString &albumId, int count) const;
    // Takes a picture out of an album; its new picture count, or -1.
    int remove(const QString &albumId, const QString &pictureId) const;
    // The body of a GET of `path`; nothing on a failure or an error status.
    QByteArray get(const QString &path) const;

private:
    QByteArray m_seed;
    QString m_seedFile;
    QProcess m_process;
    quint16 m_port = 0;
};
