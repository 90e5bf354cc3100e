#pragma once

#include <QString>

// Where the site lives. The addresses are constants of the program; the one
// override (--site BASE) points all of them at a single base, which is how
// Quillmoor runs against the bundled demo site.
struct SiteAddresses {
    QString photoHostBase; // scheme and host of the photo server, no trailing slash
    QString shareHostBase; // scheme and host of the share server, no trailing slash
    QString homePage;      // the site's home page
    QString startPage;     // Quillmoor's own start page, shown at start-up
    QString helpPage;
    QString feedbackPage;

    static SiteAddresses defaults();
    static SiteAddresses forBase(const QString &base);
};

// The addresses in force for this run.
const SiteAddresses &siteAddresses();
void setSiteAddresses(const SiteAddresses &addresses);

// The member whose friends' albums the friends-album button opens, and the
// user id shown before the user has typed one.
inline constexpr auto FriendsMemberId = "100000001";
inline constexpr auto DefaultUserId = "100000001";
