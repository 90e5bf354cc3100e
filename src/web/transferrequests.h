#pragma once

// The request types behind fetchPage() and downloadPicture(), shared with
// the transfer thread (PictureTransfers), which runs the same rules on a
// network manager of its own.

#include "downpic.h"
#include "fetchpage.h"
#include "sha256.h"
#include "webrequest.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

// The hidden file a picture is written to until it is whole. By hand rather
// than QTemporaryFile or QSaveFile: the file must get the mode the user's
// umask gives (QTemporaryFile makes 0600), must never replace an existing
// picture (QSaveFile does), and a full disk or an over-long name must be
// told apart, which only errno can.
//
// Thread-safe: the transfer thread writes it while the caller's thread may
// abandon it, after which nothing is written, renamed or created any more.
class PartFile
{
public:
    // Failures name `target`, the file the user will look for.
    explicit PartFile(const QString &target) : m_target(target) {}
    ~PartFile() { discard(); }
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    // A short name of its own, so a picture name that just fits the file
    // system is never refused because of the temporary one.
    WebResult create();
    WebResult restart();
    WebResult write(QByteArrayView bytes);
    // Gives the file its final name; an existing file of that name is never
    // replaced.
    WebResult place();
    // Removes the part file, if any.
    void discard();
    // Removes the part file and refuses every later call (Aborted).
    void abandon();

private:
    WebResult placeLocked();
    void discardLocked();

    std::mutex m_mutex;
    bool m_abandoned = false;
    QString m_target;
    QString m_path;
    int m_fd = -1;
    // Nothing written yet: a restart need not truncate. On ext4 truncating
    // even an empty file makes its close write it out at once, and that
    // close held the window back for over 50 ms while pictures were written.
    bool m_written = false;
};

// One page request: keeps the body in memory (up to the page cap) and
// decodes it at the end.
class PageRequest : public WebTransfer
{
public:
    PageRequest(QNetworkAccessManager *network, const QString &address, const QString &charset,
                const QString &body, PageCallback done, const RequestOptions &options, QObject *context);

protected:
    QNetworkReply *send(QNetworkAccessManager *network, QNetworkRequest &request) override;
    WebResult restart() override;
    WebResult consume(QByteArrayView bytes) override;
    WebResult complete(const WebResult &response, const QNetworkReply *reply) override;
    void deliver(const WebResult &result) override;

private:
    QString m_charset;
    QString m_body;
    PageCallback m_done;
    QByteArray m_bytes;
    QString m_text;
};

// One picture transfer into a hidden part file. The request checks the
// picture; it does not place it: `done` gets the part file, whole and
// checked when the result is a success, and placeStaged() gives it its name.
// So the name can be given on the caller's thread, in the same turn of its
// event loop as its answer.
class PictureRequest : public WebTransfer
{
public:
    using Done = std::function<void(const DownloadResult &, const std::shared_ptr<PartFile> &part)>;
    PictureRequest(QNetworkAccessManager *network, const QString &address, const QString &filePath, Done done,
                   const RequestOptions &options, QObject *context);

    const std::shared_ptr<PartFile> &part() const { return m_part; }

protected:
    WebResult prepare() override;
    QNetworkReply *send(QNetworkAccessManager *network, QNetworkRequest &request) override;
    WebResult restart() override;
    WebResult consume(QByteArrayView bytes) override;
    WebResult complete(const WebResult &response, const QNetworkReply *reply) override;
    void deliver(const WebResult &result) override;

private:
    QString m_filePath;
    Done m_done;
    std::shared_ptr<PartFile> m_part;
    QByteArray m_head; // the first bytes, to tell a page from a picture
    qint64 m_size = 0;
    Sha256 m_hash;
    QDateTime m_lastModified;
};

// A picture request's outcome with its part file placed: a success once
// the file has its name (a refused rename is the failure), every failure
// with the part file removed.
DownloadResult placeStaged(const DownloadResult &checked, PartFile &part);
