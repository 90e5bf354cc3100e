// The main window as assistive technology sees it: its command buttons found
// in the accessible tree by role and name and pressed through their action.
#include "app/albumstab.h"
#include "albums/albumlistmodel.h"
#include "app/mainform.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "windowtesting.h"
#include "addresses/siteaddresses.h"

#include <QAccessible>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWebEngineView>

namespace {

// The command buttons below `root` by accessible name; Qt's own push buttons
// (the tab strip's arrows) and the browser panes' pages are passed over.
bool onAlbumsTab(const QWidget *widget)
{
    for (; widget; widget = widget->parentWidget())
        if (qobject_cast<const AlbumsTab *>(widget))
            return true;
    return false;
}

QMap<QString, QAccessibleInterface *> commandButtons(QAccessibleInterface *root)
{
    QMap<QString, QAccessibleInterface *> found;
    QList<QAccessibleInterface *> pending{root};
    while (!pending.isEmpty()) {
        QAccessibleInterface *iface = pending.takeFirst();
        // The form's own buttons; the albums tab's are its own test's.
        const auto *button = qobject_cast<CommandButton *>(iface->object());
        if (iface->role() == QAccessible::PushButton && button && !onAlbumsTab(button))
            found.insert(iface->text(QAccessible::Name), iface);
        for (int i = 0; !qobject_cast<QWebEngineView *>(iface->object()) && i < iface->childCount(); ++i)
            pending.append(iface->child(i));
    }
    return found;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT
    QTemporaryDir m_appDir;
    // The one place the test builds the window.
    MainForm *newWindow() { return new MainForm(m_appDir.path()); }

private slots:
    // No page is needed: the browser pane's start page goes to a closed local port.
    void initTestCase() { setSiteAddresses(SiteAddresses::forBase(QStringLiteral("http://127.0.0.1:1"))); }

    void cleanup() { qDeleteAll(mainForms()); }

    void commandButtonsFoundAndPressed()
    {
        ScriptedDialogs dialogs;
        MainForm *w = newWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        const auto buttons = commandButtons(QAccessible::queryAccessibleInterface(w));
        QCOMPARE(buttons.keys(), QStringList({"Kestrelnet首页", "下载选中相册", "列出相册", "开始列队下载",
                                              "打开好友相册", "打开文件夹", "打开热门相册首页", "更改路径"}));
        QCOMPARE(buttons["更改路径"]->text(QAccessible::Description), QString("选择保存图片的文件夹"));
        w->CmdChangePath->setFocus();
        QTRY_VERIFY(buttons["更改路径"]->state().focused);

        // Pressing does what a click does: the save folder is opened.
        QAccessibleActionInterface *open = buttons["打开文件夹"]->actionInterface();
        QVERIFY(open->actionNames().contains(QAccessibleActionInterface::pressAction()));
        open->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(dialogs.opened, QList<QUrl>{QUrl::fromLocalFile(w->saveFolder())});

        // The start button, disabled until an album page is open, says so,
        // offers no press, and a press anyway starts nothing.
        QAccessibleInterface *start = buttons["开始列队下载"];
        QVERIFY(start->state().disabled);
        QVERIFY(!start->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        start->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(w->JobState(), QString("login"));
        QCOMPARE(w->ListView1->model()->rowCount(), 0);
    }

    // The member's albums are read out as a named list of their titles.
    void albumListReadByTitle()
    {
        MainForm *w = newWindow();
        w->show();
        w->albumList()->setAlbums({{"http://127.0.0.1:1/photo/1/album-1", "春游"},
                                   {"http://127.0.0.1:1/photo/1/album-2", "毕业照"}});
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(w->LstAlbumName);
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->text(QAccessible::Name), QString("相册列表"));
        QStringList items;
        for (int i = 0; i < list->childCount(); ++i) {
            if (list->child(i)->role() == QAccessible::ListItem)
                items << list->child(i)->text(QAccessible::Name);
        }
        QCOMPARE(items, QStringList({"春游", "毕业照"}));
    }

    void arrowLabelShownWhole()
    {
        MainForm *w = newWindow();
        const QSize needed = w->Label6->fontMetrics().size(0, w->Label6->text());
        QVERIFY2(w->Label6->contentsRect().contains(QRect(QPoint(), needed)),
                 qPrintable(QString("%1x%2 needed").arg(needed.width()).arg(needed.height())));
    }
};

QUILLMOOR_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
