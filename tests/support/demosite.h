#pragma once

#include <QByteArray>
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

private:
    QByteArray m_seed;
    QString m_seedFile;
    QProcess m_process;
    quint16 m_port = 0;
};
