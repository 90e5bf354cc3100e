#pragma once

#include <QString>

// One link of a loaded document, read when the document completed.
struct PageLink {
    QString address;   // absolute address (the link's plain text value)
    QString href;      // the href property, resolved as the browser resolves it
    QString innerText; // the visible text exactly as written, never trimmed
};
