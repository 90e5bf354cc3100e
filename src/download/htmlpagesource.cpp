#include "htmlpagesource.h"

#include "jobrules.h"

HtmlPageSource::HtmlPageSource(QNetworkAccessManager *network, QObject *parent)
    : PageSource(parent)
    , m_reader(network)
{
    connect(&m_reader, &HtmlPageReader::finished, this, [this](const HtmlReadResult &result) {
        m_last = result;
        emit pageReady(result.snapshot);
    });
}

void HtmlPageSource::load(const QString &address)
{
    m_last = HtmlReadResult();
    ++m_requests;
    m_reader.read(address);
}

PaneFallback CompareReadings(const PageSnapshot &pane, const HtmlReadResult &html, const QString &photoHostBase,
                             bool requireCurpage)
{
    if (pane.failed)
        return PaneFallback::PaneFailed;
    if (html.failure == HtmlReadFailure::UnsupportedCharset)
        return PaneFallback::UnsupportedCharset;
    if (!html.ok() || html.snapshot.failed)
        return PaneFallback::HtmlUnreadable;
    const PageSnapshot &page = html.snapshot;
    if (SnapshotsAgreeForCollection(pane, page, photoHostBase, requireCurpage))
        return PaneFallback::None;
    if (PicturePageLinks(pane.links, photoHostBase) != PicturePageLinks(page.links, photoHostBase))
        return PaneFallback::PicturePagesDiffer;
    if (pane.title != page.title)
        return PaneFallback::TitleDiffers;
    return PaneFallback::NextPageDiffers;
}
