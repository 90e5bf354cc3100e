#pragma once

#include "pagelink.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

// An album page read from its HTML without a browser, reported the way a
// browser pane reports the same document before any of its scripts ran.
struct HtmlPage {
    PageSnapshot snapshot;
    // A form asks for a password: the site answered with its login page.
    bool hasPasswordForm = false;
    // The character set a <meta> of the page names, lower case; empty if none.
    QByteArray metaCharset;
    // The page's charset is one this program cannot decode: it was read as
    // UTF-8, so its texts may differ from what a browser shows.
    QByteArray unsupportedCharset;
};

// Parses `utf8` (the page as UTF-8) received from `address`, the address
// after redirects: the title as document.title gives it, and the links as
// document.links gives them, resolved against <base> and `address`, each
// with its textContent untrimmed.
HtmlPage readHtmlPage(QByteArrayView utf8, const QUrl &address);

// Decodes the body as a browser picks its character set: a byte order mark,
// then the charset of the Content-Type header, then the page's own <meta>,
// else UTF-8; and parses it.
HtmlPage readHtmlBody(const QByteArray &body, const QByteArray &contentType, const QUrl &address);

// document.title's rule: ASCII white space stripped at both ends and each
// run of it inside made one space. Other spaces (U+3000, no-break) stay.
QString collapsedAsciiWhitespace(QStringView text);

// The absolute address a browser gives a link's href written as `href` on a
// page whose base address is `base`; the text as written when it is no URL.
QString resolvedHref(const QString &href, const QUrl &base);
