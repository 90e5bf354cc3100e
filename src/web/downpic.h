#pragma once

#include "webrequest.h"

#include <QString>

#include <functional>

class QNetworkAccessManager;
class QObject;

using DownPicResult = WebResult;
using DownPicCallback = std::function<void(const DownPicResult &)>;

// Downloads `address` (GET, no header of our own, on `network`) into a new
// file at `filePath`, byte for byte, and calls `done` once with the result.
//
// The body goes to a hidden temporary file in the target folder and is renamed
// to `filePath` only when it arrived whole, so the picture's name never shows a
// truncated or error-page file. An existing file is never replaced. Success
// means: the file is in place; every failure leaves nothing behind.
//
// `done` runs later from the event loop, never inside this call. If `context`
// is destroyed first, the transfer is aborted, the temporary file removed and
// `done` never runs.
void DownPic(QNetworkAccessManager *network, const QString &address, const QString &filePath,
             QObject *context, DownPicCallback done, const RequestOptions &options = {});
