#pragma once

#include "web/pagelink.h"

#include <QList>
#include <QString>
#include <QStringList>

// The rules of a download job that need no window: album names, which links
// are picture pages and next pages, the temporary album folder, how a picture
// page yields its picture address and what a picture file is called.

inline const QString AlbumTitlePrefix = QStringLiteral("Kestrelnet Kampus - 浏览相册 - ");
inline const QString TempFolderBaseName = QStringLiteral("相册文件夹");
// The temporary folder's counter is 16 bits wide.
inline constexpr int MaxTempFolderNumber = 32767;

// The longest file name, in bytes of its UTF-8 form, that the file systems
// Quillmoor writes to accept.
inline constexpr int MaxFileNameBytes = 255;

// Page title -> album name: the site's title prefix and the characters a
// folder name cannot hold are deleted; nothing is trimmed.
QString CleanAlbumTitle(const QString &title);

// The album name as captions show it: cut to 30 characters plus "... ...".
QString ShortAlbumName(const QString &albumName);

// An album name that may serve as a folder name under the save folder.
bool IsUsableFolderName(const QString &name);

// A link of an album page that leads to a picture page.
bool IsPicturePageLink(const QString &address, const QString &photoHostBase);

// The picture-page links of a document, in document order, repeats included.
QStringList PicturePageLinks(const QList<PageLink> &links, const QString &photoHostBase);

// The index of the next-page link of a document, or -1. The browser pane
// also wants "curpage=" in the link's href; the second pane does not.
qsizetype NextPageLinkIndex(const QList<PageLink> &links, bool requireCurpage);

// An address without its fragment: two addresses that differ only there
// show the same page.
QString PageAddressKey(const QString &address);

// What identifies a picture page or an album across runs: the address's
// path and query. Scheme, host, port and fragment are left out, so a site
// that moves to https or to another host name keeps its albums.
QString AddressKey(const QString &address);

// `name` without control characters and bidirectional formatting marks,
// which would hide or reorder what a file's name shows.
QString VisibleName(const QString &name);

// The folder name of an album: visible (no leading dot or space), and short enough that " (n)" still
// fits within the file system's limit. Cut on a character boundary.
QString AlbumFolderName(const QString &albumName, int maxBytes = MaxFileNameBytes);

// A recorded album address (or page) at the site as it is now: the path
// and query it was recorded with, on `photoHostBase`'s scheme, host and
// port, so albums outlive the site's move to https or to another host.
QString AlbumAddressAtSite(const QString &recorded, const QString &photoHostBase);

// What an album is known by: its own address, else the first page it was
// read from (an album started on one of its pages).
QString AlbumAddressElseFirstPage(const QString &albumAddress, const QString &firstPage);

// The n-th name of an album whose folder name is taken: "name (n)".
QString NumberedFolderName(const QString &folderName, int n);

// A picture's file name as it is saved: visible, never hidden by a leading
// dot.
QString PictureFileName(const QString &name);

// The file name a picture is saved under, made from its address: the
// address's last part, visible, and short enough for the file system. The
// job makes it once per picture and checks and saves that very name.
QString PictureName(const QString &pictureAddress);

// Whether the start button may be used on the page at `location`.
bool StartButtonEnabledFor(const QString &location, const QString &photoHostBase, bool idle);

// The full-size picture address embedded in a picture page, or the empty
// text. A jpg entry wins over a gif entry, and either over jpeg and png;
// http and https addresses alike; the key is found in any case.
QString ResolvePictureAddress(const QString &pageText);

// A caption longer than this many characters is cut: every place it is
// written (an IPTC caption, a JPEG segment) has a bound.
inline constexpr int MaxCaptionLength = 2000;

// What a picture page says of its picture: the address ResolvePictureAddress
// finds, and its caption, the JSON string of the "summary" key that ends the
// match, decoded. No caption when that value is missing, empty, only blanks
// or no readable string; control characters other than tab and line breaks
// are dropped.
struct PictureData {
    QString address;
    QString caption;
};
PictureData ResolvePicture(const QString &pageText);

// What a job takes from the answer to a picture page: a login instead of the
// page (by its status, or a login form where the picture should be), a
// failed request, a page without a picture, or the picture with the name it
// is saved under (NoFileName when no usable name can be made of it).
struct PicturePageReading {
    enum class Outcome { Picture, Login, Failed, NoPicture, NoFileName };
    Outcome outcome = Outcome::Failed;
    PictureData picture;
    QString fileName;
};
PicturePageReading ReadPicturePage(const struct PageResult &page);

// `fileName` shortened to at most `maxBytes` bytes of UTF-8: the stem is cut
// (never inside a character) and the extension kept.
QString FitFileName(const QString &fileName, int maxBytes = MaxFileNameBytes);

// A name for a picture that takes no existing entry of `folder`: `fileName`
// made to fit, or when that is taken, the first free "name(2).ext",
// "name(3).ext" ... so no picture of the album is lost.
// With a `companionSuffix` (a sidecar's ".xmp"), a name counts as taken when
// either it or it with the suffix is, and the longer one must fit.
QString FreeFileName(const QString &folder, const QString &fileName, int maxBytes = MaxFileNameBytes,
                     const QString &companionSuffix = {});

// Whether two readings of one album page (a browser pane's and the HTML
// reader's) agree on all that collection takes from a page: the title, the
// picture-page links in order and the next-page link. A failed reading
// agrees with nothing.
bool SnapshotsAgreeForCollection(const PageSnapshot &a, const PageSnapshot &b, const QString &photoHostBase,
                                 bool requireCurpage);
