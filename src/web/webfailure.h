#pragma once

#include <QString>

// Exactly what went wrong, for the words the user reads; WebError is the
// kind callers decide on. The fields of WebFailure each reason fills are
// named beside it.
enum class WebReason {
    None,
    NotAnAddress,        // subject: the address
    SessionClosed,
    ConnectionRefused,   // systemText
    ConnectionClosed,    // systemText
    HostNotFound,        // subject: the host; systemText
    ConnectionTimedOut,  // systemText
    NetworkFailure,      // systemText
    TooLarge,            // limit: the cap in bytes
    TooSlow,             // amount: bytes per second; limit: over how many ms
    NoData,              // limit: the time-out in ms
    Truncated,           // amount: bytes received; limit: Content-Length, -1 when none
    CompressedTruncated, // amount: bytes received
    UnknownEncoding,     // subject: the Content-Encoding
    HttpStatus,          // amount: the status
    RetryTooLate,        // amount: the Retry-After in ms; limit: the longest accepted, in ms
    EmptyBody,
    PageNotPicture,
    TextNotPicture,
    PartialContent,
    NoFileName,          // subject: the path
    DiskFull,            // subject: the path; systemText
    NameTooLong,         // subject: the path
    FileExists,          // subject: the path
    NoFolder,            // subject: the path of the file
    NoPermission,        // subject: the path
    ReadOnlyDisk,        // subject: the path
    WriteFailed,         // subject: the path; systemText
    LoadFailed,          // a browser's load: systemText, empty when it gave none
    LoadTimedOut,        // a browser's load that never completed
    DeadlinePassed,      // limit: the deadline in ms
    InsecureRedirect,    // subject: the http address an https one redirected to
    BadRedirect,         // subject: the redirect's Location, no http(s) address
    TooManyRedirects,    // limit: how many are followed
};

struct WebFailure {
    WebReason reason = WebReason::None;
    QString subject;
    QString systemText; // the system's own words (QNetworkReply::errorString, strerror)
    qint64 amount = 0;
    qint64 limit = 0;

    friend bool operator==(const WebFailure &, const WebFailure &) = default;
};
