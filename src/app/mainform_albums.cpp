// The member tab's list command: a member's albums by user id.
#include "mainform.h"

#include "albums/albumlistmodel.h"
#include "albums/albumlistrequest.h"
#include "addresses/siteaddresses.h"

#include <QLineEdit>
#include <QTabWidget>

namespace {
// What the user is told when the list could not be read.
QString albumListFailureText(const AlbumListFailure &failure)
{
    switch (failure.error) {
    case AlbumListError::InvalidUserId:
        return QCoreApplication::translate("MainForm", "用户ID输入有误");
    case AlbumListError::NotLoggedIn:
        return QCoreApplication::translate("MainForm", "您还没有登录，请先在浏览器窗口登录");
    case AlbumListError::NoAlbums:
        return QCoreApplication::translate("MainForm", "该用户没有可供下载的相册");
    case AlbumListError::Unreachable:
        break;
    }
    return QCoreApplication::translate("MainForm", "无法连接到网站，请稍后再试：") + FailureText::web(failure.reason);
}
} // namespace

void MainForm::CmdList_Click()
{
    // Off for the whole run: the request lets other commands run meanwhile.
    CmdList->setEnabled(false);
    const QString typed = TxtUserId->text();
    // Checked here too, so that a mistyped id leaves the list and the stored
    // id as they are.
    if (!IsValidUserId(typed)) {
        information(albumListFailureText({AlbumListError::InvalidUserId}));
        CmdList->setEnabled(true);
        return;
    }
    m_albumList->clear();
    writeSetting(QStringLiteral("UserId"), typed);

    auto *request = new AlbumListRequest(network(), siteAddresses().photoHostBase, typed, this);
    connect(request, &AlbumListRequest::listed, this, [this, request](const QList<AlbumEntry> &albums) {
        request->deleteLater();
        m_albumList->setAlbums(albums);
        CmdList->setEnabled(true);
    });
    connect(request, &AlbumListRequest::failed, this, [this, request](const AlbumListFailure &failure) {
        request->deleteLater();
        onAlbumListFailed(failure);
    });
    request->start();
}

void MainForm::onAlbumListFailed(const AlbumListFailure &failure)
{
    // The window may be closed while the message is up.
    const QPointer<MainForm> self(this);
    if (failure.error == AlbumListError::NoAlbums)
        information(albumListFailureText(failure), QCoreApplication::applicationName());
    else
        information(albumListFailureText(failure));
    if (!self)
        return;
    if (failure.error == AlbumListError::NotLoggedIn)
        SSTab1->setCurrentIndex(0);
    CmdList->setEnabled(true);
}
