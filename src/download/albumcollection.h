#pragma once

#include "web/pagelink.h"

#include <QSet>
#include <QString>
#include <QStringList>

// Whether the site answered a login instead of the page asked for: 401 or
// 403, or a page that asks for a password (the login form itself, or the
// page a redirect led to).
bool IsLoginAnswer(int httpStatus, bool passwordField);
// Whether an HTML text holds a password field.
bool HasPasswordField(const QString &html);

// Why collection ended before the album's last page, with what the
// window's words need.
struct CollectionStop {
    enum class Why {
        None,
        PageFailed,       // `address` did not load: `pageError`
        LeftAlbum,        // the pane went to `address`, no page of the album
        NextNotAnAddress, // the next-page link holds `address`, no web address
        PageTimedOut,     // `address` did not load within `seconds`
        NoPictureLinks,   // `address` loaded but linked no picture page (a notice, a changed layout)
    };
    Why why = Why::None;
    int page = 0; // the album page collection ended at, counted from 1
    QString address;
    WebFailure pageError;
    int seconds = 0;

    bool isNone() const { return why == Why::None; }
    friend bool operator==(const CollectionStop &, const CollectionStop &) = default;
};

// How collection differs between the two panes that can collect an album.
struct CollectionRules {
    QString photoHostBase;
    // The browser pane follows a 下一页 link only when its href holds
    // "curpage="; the hidden pane follows any.
    bool nextLinkNeedsCurpage = true;
    // The browser pane queues a picture page each time a page links it; the
    // hidden pane queues it once.
    bool keepRepeats = true;
    // The hidden pane names the album after every page it loads (so the last
    // page's title wins); the browser pane after the first page only.
    bool nameFromEveryPage = false;

    static CollectionRules browserPane(const QString &photoHostBase);
    static CollectionRules memberList(const QString &photoHostBase);
};

// Collects the picture pages of one album from its pages as a pane loads
// them: which links to queue, what the album is called and which page to
// load next. It knows nothing about the site's page numbering: it refuses a
// next page only when that address was loaded before in this album, or when
// the page just loaded brought nothing new (a site that loops).
class AlbumCollection
{
public:
    enum class Outcome {
        NextPage,     // load `nextAddress`
        LastPage,     // the album is complete
        StoppedEarly, // the album could not be read further; `stop` says why
        LoginExpired, // the site asked to log in again; `nextAddress` is what it showed
    };
    struct Step {
        Outcome outcome = Outcome::LastPage;
        QString nextAddress;
        CollectionStop stop;
    };

    explicit AlbumCollection(const CollectionRules &rules);

    // Takes one loaded page and says what follows.
    Step addPage(const PageSnapshot &page);

    // Picture-page addresses in collection order.
    const QStringList &picturePages() const { return m_picturePages; }
    QString albumName() const { return m_albumName; }
    // Album pages read so far.
    int pagesRead() const { return m_pagesRead; }

private:
    bool isAlbumPage(const QString &address) const;
    // A page that did not load: the browser's error page is no album page.
    Step stop(CollectionStop::Why why, const QString &address, const WebFailure &error = {}) const;

    CollectionRules m_rules;
    QStringList m_picturePages;
    QSet<QString> m_collected;
    QSet<QString> m_loadedPages;
    QString m_albumName;
    int m_pagesRead = 0;
};
