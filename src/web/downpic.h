#pragma once

#include <QString>

#include <functional>

class QObject;

// Pictures saved in the current job: raised by one for each picture that
// DownPic has put in place; the download loop shows it and sets it back to 0.
extern qint16 DownloadedCount;

enum class DownPicError {
    None,
    BadAddress,  // not an absolute http(s) address, or no file name in the path
    Network,     // the transfer failed (refused, reset, timed out ...)
    HttpStatus,  // the server answered with 4xx or 5xx
    Truncated,   // fewer bytes arrived than announced
    FileExists,  // something already exists at the path; it is left untouched
    NoFolder,    // the folder of the path does not exist (it is not created)
    WriteFailed, // the disk refused the temporary file or the rename
    CountFull,   // DownloadedCount is at its limit; nothing was saved
    Aborted,     // the transfer was cancelled before it ended
};

struct DownPicResult {
    DownPicError error = DownPicError::None;
    int httpStatus = 0;
    QString message;
    bool ok() const { return error == DownPicError::None; }
};

using DownPicCallback = std::function<void(const DownPicResult &)>;

// Downloads `address` (GET, no header of our own, on sharedNetwork()) into a
// new file at `filePath`, byte for byte, and calls `done` once with the result.
//
// The body goes to a hidden temporary file in the target folder and is renamed
// to `filePath` only when it arrived whole, so the picture's name never shows a
// truncated or error-page file. An existing file is never replaced. Success
// means: the file is in place and DownloadedCount was raised; every failure
// leaves nothing behind and the count as it was. When the count is already at
// 32767 the call fails with CountFull before anything is written, so a saved
// picture is always a counted one.
//
// `done` runs later from the event loop, never inside this call. If `context`
// is destroyed first, the transfer is aborted, the temporary file removed and
// `done` never runs.
void DownPic(const QString &address, const QString &filePath, QObject *context,
             DownPicCallback done, int timeoutMs = 60000);
