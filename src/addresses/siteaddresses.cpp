#include "siteaddresses.h"

namespace {
SiteAddresses &current()
{
    static SiteAddresses addresses = SiteAddresses::defaults();
    return addresses;
}
} // namespace

SiteAddresses SiteAddresses::defaults()
{
    return {
        QStringLiteral("http://photo.kestrelnet.com"),
        QStringLiteral("http://share.kestrelnet.com"),
        QStringLiteral("http://www.kestrelnet.com"),
        QStringLiteral("http://quillmoor.kestrelnet.com/quillmoor/start"),
        QStringLiteral("http://quillmoor.kestrelnet.com/quillmoor/help"),
        QStringLiteral("http://quillmoor.kestrelnet.com/quillmoor/feedback"),
    };
}

SiteAddresses SiteAddresses::forBase(const QString &base)
{
    QString b = base;
    while (b.endsWith(QLatin1Char('/')))
        b.chop(1);
    return {b, b, b,
            b + QStringLiteral("/quillmoor/start"),
            b + QStringLiteral("/quillmoor/help"),
            b + QStringLiteral("/quillmoor/feedback")};
}

const SiteAddresses &siteAddresses()
{
    return current();
}

void setSiteAddresses(const SiteAddresses &addresses)
{
    current() = addresses;
}
