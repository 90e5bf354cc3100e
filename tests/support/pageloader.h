#pragma once

#include "web/pagelink.h"

#include <QString>

class QNetworkAccessManager;

// Loads a page the way a browser pane hands it to a download job: redirects
// followed, the title and every link read from the HTML, links resolved
// against the page's address and their text kept as written. A page that
// does not load (no answer, an error status) comes back failed, without
// title or links. Waits for the answer in an event loop of its own.
PageSnapshot loadSnapshot(QNetworkAccessManager *network, const QString &address, int timeoutMs = 30000);

// The same reading of an HTML text received from `address`.
PageSnapshot snapshotOf(const QString &address, const QString &html);
