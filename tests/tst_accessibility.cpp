// The main window as assistive technology sees it: its command buttons found
// in the accessible tree by role and name, pressed through their action; and
// captions that fit their places.
#include "app/mainform.h"
#include "demosite.h"
#include "scripteddialogs.h"
#include "testmain.h"
#include "windowtesting.h"
#include "web/siteaddresses.h"

#include <QAccessible>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWebEngineView>

namespace {

// Every push button below `root`, by its accessible name. The browser
// panes' page content is the page's business and is not walked.
QMap<QString, QAccessibleInterface *> pushButtons(QAccessibleInterface *root)
{
    QMap<QString, QAccessibleInterface *> found;
    QList<QAccessibleInterface *> pending{root};
    while (!pending.isEmpty()) {
        QAccessibleInterface *iface = pending.takeFirst();
        if (iface->role() == QAccessible::PushButton)
            found.insert(iface->text(QAccessible::Name), iface);
        if (qobject_cast<QWebEngineView *>(iface->object()))
            continue;
        for (int i = 0; i < iface->childCount(); ++i)
            if (QAccessibleInterface *child = iface->child(i))
                pending.append(child);
    }
    return found;
}

// Columns of `image` in rows y0..y1 holding dark (text) pixels.
std::pair<int, int> inkColumns(const QImage &image, int y0, int y1)
{
    int first = image.width(), last = -1;
    for (int y = y0; y <= y1; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 100) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT
private:
    DemoSite m_site;
    QTemporaryDir m_appDir;

    // The one place a test builds the window.
    MainForm *newWindow() { return new MainForm(m_appDir.path()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start());
        setSiteAddresses(SiteAddresses::forBase(m_site.base()));
    }

    void cleanup()
    {
        qDeleteAll(mainForms());
    }

    void commandButtonsFoundAndPressed()
    {
        ScriptedDialogs dialogs;
        QPointer<MainForm> w = newWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));

        QAccessibleInterface *root = QAccessible::queryAccessibleInterface(w);
        QVERIFY(root);
        const auto buttons = pushButtons(root);
        const QStringList captions = {"更改路径", "打开文件夹", "开始列队下载", "打开好友相册",
                                      "打开热门相册首页", "Kestrelnet首页", "列出相册", "下载选中相册"};
        QStringList named; // Qt's own buttons (the tab strip's arrows) are there too
        for (auto it = buttons.begin(); it != buttons.end(); ++it)
            if (qobject_cast<CommandButton *>(it.value()->object()))
                named << it.key();
        QCOMPARE(QSet(named.begin(), named.end()), QSet(captions.begin(), captions.end()));
        for (const QString &caption : captions) {
            QAccessibleInterface *b = buttons.value(caption);
            QVERIFY2(b->actionInterface(), qPrintable(caption));
        }
        QCOMPARE(buttons.value("更改路径")->text(QAccessible::Description), QString("选择保存图片的文件夹"));

        // Pressing works as a click does: the folder opens.
        QAccessibleInterface *open = buttons.value("打开文件夹");
        QVERIFY(!open->state().disabled);
        QVERIFY(open->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        QSignalSpy opened(w->CmdShellFolder, &CommandButton::Click);
        open->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(dialogs.opened, QList<QUrl>{QUrl::fromLocalFile(w->saveFolder())});

        // The start button is disabled until an album page is open: it says
        // so, offers no press, and a press anyway starts nothing.
        QAccessibleInterface *start = buttons.value("开始列队下载");
        QVERIFY(start->state().disabled);
        QVERIFY(!start->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        QSignalSpy started(w->CmdStartDown, &CommandButton::Click);
        start->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(started.count(), 0);
        QCOMPARE(w->JobState, QString("login"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);

        // Focus on a button shows in its state.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->CmdChangePath->setFocus();
        QTRY_VERIFY(buttons.value("更改路径")->state().focused);
    }

    void captionsFitTheirPlaces()
    {
        QPointer<MainForm> w = newWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));

        // The member tab's arrow label shows its whole text.
        const QSize needed = w->Label6->fontMetrics().size(0, w->Label6->text());
        QVERIFY2(w->Label6->contentsRect().contains(QRect(QPoint(), needed)),
                 qPrintable(QString("%1x%2 needed").arg(needed.width()).arg(needed.height())));

        // The home page button's caption is drawn whole: its ink stays clear
        // of the caption area's edges instead of running out at both sides.
        CommandButton *home = w->CmdHomePage;
        const QImage face = home->grab().toImage();
        const QRect area = home->captionRect();
        const auto [first, last] = inkColumns(face, area.top(), area.bottom());
        QVERIFY2(last >= first, "no caption drawn");
        QVERIFY2(first > area.left() && last < area.right(),
                 qPrintable(QString("ink %1..%2 in %3..%4").arg(first).arg(last).arg(area.left()).arg(area.right())));
    }
};

QUILLMOOR_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
