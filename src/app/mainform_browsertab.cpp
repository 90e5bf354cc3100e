// The browsing tab's navigation commands and the browser pane's new-window
// guard.
#include "mainform.h"

#include "platform/browserpane.h"
#include "addresses/siteaddresses.h"

#include <QTimer>

void MainForm::CmdFriendAlbum_Click()
{
    if (m_queue) {
        information(tr("当前状态不可进行此操作"));
        return;
    }
    WebBrowser1->navigate(siteAddresses().photoHostBase + QStringLiteral("/photo/")
                          + QString::fromLatin1(FriendsMemberId) + QStringLiteral("/album/friends?fb"));
}

void MainForm::CmdViewHot_Click()
{
    if (m_queue) {
        information(tr("当前状态不可进行此操作"));
        return;
    }
    WebBrowser1->navigate(siteAddresses().shareHostBase + QStringLiteral("/share/hotsharelist.do?t=8"));
}

void MainForm::CmdHomePage_Click()
{
    WebBrowser1->navigate(siteAddresses().homePage);
}

void MainForm::WebBrowser1_NewWindow(NewWindowRequest &request)
{
    // A member queue walks its album pages in this window's panes.
    if (m_queue && m_queue->settings().source == ::JobSource::HiddenPane) {
        request.cancel = true;
        // Shown once the browser has its answer; a modal box inside its
        // callback would hold the browser up.
        QTimer::singleShot(0, this, [this] {
            information(tr("此时不能打开新窗口，请等待下载完毕"));
        });
        return;
    }
    auto *next = new MainForm(m_locations);
    next->WebBrowser1->setRegisterAsBrowser(true);
    request.target = next->WebBrowser1;
    // The swap runs once the browser has its target: the close may ask a
    // question, and a modal box must not run inside the browser's callback.
    QTimer::singleShot(0, next, [self = QPointer<MainForm>(this), next] {
        if (self)
            self->close();
        next->show();
    });
}
