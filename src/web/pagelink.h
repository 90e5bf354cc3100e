#pragma once

#include "webfailure.h"

#include <QList>
#include <QString>

// One link of a loaded document, read when the document completed.
struct PageLink {
    QString address;   // absolute address (the link's plain text value)
    QString href;      // the href property, resolved as the browser resolves it
    QString innerText; // the visible text exactly as written, never trimmed
};

// What a browser pane offers of the document it has just loaded.
struct PageSnapshot {
    QString address; // the address the document was loaded from, after redirects
    QString title;
    QList<PageLink> links;
    // The load failed (no answer, an error status): the document is the
    // browser's or the server's error page; title and links are left empty.
    bool failed = false;
    WebFailure error; // why, when failed
    int httpStatus = 0; // the error status, when the server answered one
    // The document asks for a password: a login form.
    bool passwordField = false;
};
