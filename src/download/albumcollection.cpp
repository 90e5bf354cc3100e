#include "albumcollection.h"

#include "jobrules.h"
#include "web/webrequest.h"

#include <QRegularExpression>

#include <algorithm>

bool IsLoginAnswer(int httpStatus, bool passwordField)
{
    return httpStatus == 401 || httpStatus == 403 || passwordField;
}

bool HasPasswordField(const QString &html)
{
    static const QRegularExpression field(QStringLiteral("<input\\b[^>]*\\btype\\s*=\\s*[\"']?password\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    return field.match(html).hasMatch();
}

CollectionRules CollectionRules::browserPane(const QString &photoHostBase)
{
    return {photoHostBase, true, true, false};
}

CollectionRules CollectionRules::memberList(const QString &photoHostBase)
{
    return {photoHostBase, false, false, true};
}

AlbumCollection::AlbumCollection(const CollectionRules &rules)
    : m_rules(rules)
{
}

bool AlbumCollection::isAlbumPage(const QString &address) const
{
    const QString &base = m_rules.photoHostBase;
    // The hidden pane only ever loads the album's own pages, so anything on
    // the photo host will do; the browser pane also shows other pages there.
    if (!m_rules.nextLinkNeedsCurpage)
        return address.startsWith(base + QLatin1Char('/'));
    return address.contains(base + QStringLiteral("/photo/"))
        || address.contains(base + QStringLiteral("/getalbum.do"));
}

AlbumCollection::Step AlbumCollection::stop(CollectionStop::Why why, const QString &address,
                                             const WebFailure &error) const
{
    // The page that failed is the one after those read; a bad next-page
    // link belongs to the page just read.
    const int page = why == CollectionStop::Why::NextNotAnAddress ? m_pagesRead : m_pagesRead + 1;
    return {Outcome::StoppedEarly, {}, {why, page, address, error}};
}

AlbumCollection::Step AlbumCollection::addPage(const PageSnapshot &page)
{
    // Checked before anything else: a login redirect leaves the album too.
    if (IsLoginAnswer(page.httpStatus, page.passwordField))
        return {Outcome::LoginExpired, page.address, {}};
    // An error page gives no album name and no links.
    if (page.failed)
        return stop(CollectionStop::Why::PageFailed, page.address, page.error);
    if (!isAlbumPage(page.address))
        return stop(CollectionStop::Why::LeftAlbum, page.address);

    m_loadedPages.insert(PageAddressKey(page.address));

    const QStringList links = PicturePageLinks(page.links, m_rules.photoHostBase);
    const qsizetype next = NextPageLinkIndex(page.links, m_rules.nextLinkNeedsCurpage);
    // A page of the album that links no picture at all is a notice ("busy"),
    // an error text or a layout the rules do not know: never the album's end.
    // Only a first page without pictures and without a next page is an
    // album that is empty.
    if (links.isEmpty() && (m_pagesRead > 0 || next >= 0))
        return stop(CollectionStop::Why::NoPictureLinks, page.address);
    const bool bringsNew = std::any_of(links.cbegin(), links.cend(),
                                       [this](const QString &link) { return !m_collected.contains(link); });
    // A later page that brings nothing new is the site leading back to where
    // it began: it is not part of the album.
    if (m_pagesRead > 0 && !bringsNew)
        return {Outcome::LastPage, {}, {}};
    if (m_rules.nameFromEveryPage || m_pagesRead == 0)
        m_albumName = CleanAlbumTitle(page.title);
    ++m_pagesRead;
    for (const QString &link : links) {
        if (m_collected.contains(link) && !m_rules.keepRepeats)
            continue;
        m_collected.insert(link);
        m_picturePages << link;
    }

    if (next < 0)
        return {Outcome::LastPage, {}, {}};
    const QString address = page.links.at(next).address;
    if (!WebRequest::siteUrl(address).isValid())
        return stop(CollectionStop::Why::NextNotAnAddress, address);
    if (m_loadedPages.contains(PageAddressKey(address)))
        return {Outcome::LastPage, {}, {}};
    return {Outcome::NextPage, address, {}};
}
