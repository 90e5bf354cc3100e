#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// What a desktop notification says: one line that stands out, a few below.
struct DesktopNotice {
    QString summary;
    QString body;
};

// A message box's text in short: its first line as the summary, the next
// non-empty lines (at most `bodyLines`, then "…") as the body.
DesktopNotice noticeFor(const QString &message, int bodyLines = 5);

// Sends notices to the desktop's notification service (freedesktop.org
// notifications, org.freedesktop.Notifications on the session bus). It
// never waits: every call is asynchronous and bounded, and a missing bus or
// service costs a debug line, nothing more.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    // On the session bus, when one runs; `applicationId` names the desktop
    // entry and the icon.
    explicit DesktopNotifier(const QString &applicationId, QObject *parent = nullptr);
    DesktopNotifier(const QDBusConnection &bus, const QString &applicationId, QObject *parent = nullptr);

    void notify(const DesktopNotice &notice);

    // How long a call to the service may take before it counts as failed.
    static constexpr int CallTimeoutMs = 5000;

signals:
    // The service took a notice (its id), or it went nowhere and why.
    void delivered(uint id);
    void failed(const QString &error);

private:
    void askCapabilities();
    void send(const DesktopNotice &notice);
    void fail(const QString &error);

    std::optional<QDBusConnection> m_bus;
    QString m_applicationId;
    // Whether the service reads the body as markup: asked once, before the
    // first notice, since a site's album title may hold "<" and "&".
    std::optional<bool> m_bodyMarkup;
    bool m_asking = false;
    QList<DesktopNotice> m_waiting;
};
