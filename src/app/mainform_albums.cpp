// The member tab's list command: a member's albums by user id.
#include "mainform.h"

#include "albums/albumlistmodel.h"
#include "albums/albumlistrequest.h"
#include "addresses/siteaddresses.h"
#include "progress/progresstexts.h"

#include <QLineEdit>
#include <QTabWidget>

void MainForm::CmdList_Click()
{
    // Off for the whole run: the request lets other commands run meanwhile.
    CmdList->setEnabled(false);
    const QString typed = TxtUserId->text();
    // Checked here too, so that a mistyped id leaves the list and the stored
    // id as they are.
    if (!IsValidUserId(typed)) {
        information(ProgressText::albumListFailure({AlbumListError::InvalidUserId}));
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
        information(ProgressText::albumListFailure(failure), QCoreApplication::applicationName());
    else
        information(ProgressText::albumListFailure(failure));
    if (!self)
        return;
    if (failure.error == AlbumListError::NotLoggedIn)
        SSTab1->setCurrentIndex(0);
    CmdList->setEnabled(true);
}
