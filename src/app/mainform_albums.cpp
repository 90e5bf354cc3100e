// The member tab's list command: a member's albums by user id.
#include "mainform.h"

#include "albums/albumlist.h"
#include "storage/settingsfile.h"
#include "web/fetchpage.h"
#include "app/siteaddresses.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>

namespace {
void appendEntries(QListWidget *urls, QListWidget *titles, const QList<AlbumEntry> &entries)
{
    for (const AlbumEntry &e : entries) {
        urls->addItem(e.url);
        titles->addItem(e.title);
    }
}

QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}
} // namespace

void MainForm::CmdList_Click()
{
    // Off for the whole run: the fetches below let other commands run.
    CmdList->setEnabled(false);
    const QString typed = TxtUserId->text();
    if (!IsValidUserId(typed)) {
        information(QStringLiteral("用户ID输入有误"));
        CmdList->setEnabled(true);
        return;
    }
    LstUrl->clear();
    LstAlbumName->clear();
    writeSetting(QStringLiteral("UserId"), typed);

    const QString base = siteAddresses().photoHostBase;
    RequestOptions once;
    once.retry = RetryPolicy::none();
    fetchPage(network(), QStringLiteral("UTF-8"), base + QStringLiteral("/getalbumprofile.do?owner=") + typed,
              this, [this, base](const PageResult &answer) {
        // A site that cannot be reached is no reason to log in again.
        if (!answer.ok()) {
            information(QStringLiteral("无法连接到网站，请稍后再试：") + answer.message);
            CmdList->setEnabled(true);
            return;
        }
        const QString &profile = answer.text;
        if (!IsLoggedInPage(profile)) {
            information(QStringLiteral("您还没有登录，请先在浏览器窗口登录"));
            SSTab1->setCurrentIndex(0);
            CmdList->setEnabled(true);
            return;
        }
        if (HasNoAlbumsMarker(profile)) {
            information(QStringLiteral("该用户没有可供下载的相册"), QCoreApplication::applicationName());
            CmdList->setEnabled(true);
            return;
        }
        const QString prefix = AlbumLinkPrefix(base, TxtUserId->text());
        appendEntries(LstUrl, LstAlbumName, ParseAlbumPass(profile, prefix, {}));
        if (LstUrl->count() == 0) {
            CmdList->setEnabled(true);
            return;
        }
        FetchPage(network(), QStringLiteral("UTF-8"), LstUrl->item(0)->text(), QString(), this,
                  [this, prefix](const QString &albumPage) {
            appendEntries(LstUrl, LstAlbumName, ParseAlbumPass(albumPage, prefix, texts(LstUrl)));
            CmdList->setEnabled(true);
        });
    }, once);
}
