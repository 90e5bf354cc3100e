#include "aboutwindow.h"
#include "propertybag.h"
#include "skinbutton.h"
#include "skintooltip.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QMetaProperty>
#include <QPainter>
#include <QScopedValueRollback>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

using PV = PropertyValue;

OleColor::Value sys(OleColor::Value ref)
{
    return OleColor::translate(ref, QApplication::palette());
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

void sendEnter(QWidget *w)
{
    const QPointF p(5, 5);
    QEnterEvent e(p, p, w->mapToGlobal(p));
    QApplication::sendEvent(w, &e);
}

void sendLeave(QWidget *w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

void sendMouse(QWidget *w, QEvent::Type type, Qt::MouseButton button)
{
    const QPointF p(5, 5);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, p, w->mapToGlobal(p), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void sendKey(QWidget *w, QEvent::Type type, int key, bool autoRepeat = false)
{
    QKeyEvent e(type, key, Qt::NoModifier, key == Qt::Key_Space ? QStringLiteral(" ") : QString(), autoRepeat);
    QApplication::sendEvent(w, &e);
}

// A button placed on a shown host window and loaded from an empty store in
// run mode, as the main window does it.
struct Host {
    QWidget window;
    SkinButton *button = nullptr;
    bool exposed = false;

    Host()
    {
        window.resize(200, 100);
        button = new SkinButton(&window);
        button->setGeometry(10, 10, 75, 23);
        button->readProperties(PropertyBag());
        // Start with the pointer off the window, wherever an earlier test
        // left it, so showing it does not enter the button.
        QCursor::setPos(QPoint(600, 500));
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
    }
    bool activate()
    {
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

} // namespace

// The button's private state, which only tests look at.
class SkinButtonProbe
{
public:
    static SkinButtonLook::VisualState state(const SkinButton *b) { return b->m_state; }
    static bool hasFocus(const SkinButton *b) { return b->m_hasFocus; }
    static bool tracking(const SkinButton *b) { return b->m_trackingEnabled; }
    static int lastUpButton(const SkinButton *b) { return b->m_lastUpButton; }
    static int textFormat(const SkinButton *b) { return b->m_textFormat; }
    static QRect captionRect(const SkinButton *b) { return b->m_captionRect; }
    static bool pressPending(const SkinButton *b) { return b->m_pressTimer.isActive(); }
};

class TestSkinButton : public QObject
{
    Q_OBJECT

private slots:
    void propertyBagTextRoundTrip();
    void propertyBagRejectsDamagedText();
    void propertyBagWriteSemantics();
    void propertyBagFileWithSections();
    void mainWindowButtonsFile();
    void newInstanceValues();
    void defaultsFromEmptyStore();
    void savedControlLoadsBackEqual();
    void everyStoredKeyLoadsAndSavesBack();
    void toolTipTextRulesOnSaveAndLoad();
    void themedFallsBackWithoutTheme();
    void mousePointerChangesCursorWithoutRepaint();
    void enabledResetsStateAndMinimumSize();
    void leftClickAndRightClickWithAccessKey();
    void toggleClickedTwice();
    void spaceGivesExactlyOneClick();
    void enterAndArrowKeys();
    void doubleClickGivesOneClick();
    void hoverEnterLeaveCounts();
    void toolTipBuiltFromProperties();
    void toolTipTextSetterSurvivesHover();
    void aboutWindow();
    void accessibleButton();
    void accessiblePressReturnsBeforeTheClick();
    void qtPropertiesAndChangeNotices();
};

void TestSkinButton::propertyBagTextRoundTrip()
{
    QPixmap picture(4, 3);
    picture.fill(Qt::red);
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);

    PropertyBag bag;
    bag.writeProperty(QStringLiteral("Small"), PV::int16(-7));
    bag.writeProperty(QStringLiteral("Wide"), PV::int32(100000));
    bag.writeProperty(QStringLiteral("Flag"), PV::boolean(false));
    bag.writeProperty(QStringLiteral("Text"), PV::text(QStringLiteral("a=b\\c\nsecond line\r 开始")));
    bag.writeProperty(QStringLiteral("Empty"), PV::text(QString()));
    bag.writeProperty(QStringLiteral("Colour"), PV::color(0x8000000F));
    bag.writeProperty(QStringLiteral("Font"), PV::font(font));
    bag.writeProperty(QStringLiteral("Picture"), PV::picture(picture));
    bag.writeProperty(QStringLiteral("NoPicture"), PV::picture(QPixmap()));

    const QString text = bag.toText();
    QCOMPARE(text.count(u'\n'), 9); // every value stays on its own line
    QString error;
    const auto back = PropertyBag::fromText(text, &error);
    QVERIFY2(back, qPrintable(error));
    QCOMPARE(back->keys(), bag.keys());
    QCOMPARE(back->value(QStringLiteral("Small"))->kind(), PV::Kind::Int16);
    QCOMPARE(*back->value(QStringLiteral("Small"))->toInteger(), -7);
    QCOMPARE(back->value(QStringLiteral("Wide"))->kind(), PV::Kind::Int32);
    QCOMPARE(*back->value(QStringLiteral("Wide"))->toInteger(), 100000);
    QCOMPARE(*back->value(QStringLiteral("Flag"))->toBool(), false);
    QCOMPARE(*back->value(QStringLiteral("Text"))->toText(), QStringLiteral("a=b\\c\nsecond line\r 开始"));
    QCOMPARE(*back->value(QStringLiteral("Empty"))->toText(), QString());
    QCOMPARE(*back->value(QStringLiteral("Colour"))->toInteger(), qint64(0x8000000F));
    QCOMPARE(*back->value(QStringLiteral("Font"))->toFont(), font);
    QCOMPARE(back->value(QStringLiteral("Picture"))->toPicture()->toImage().pixelColor(3, 2), QColor(Qt::red));
    QVERIFY(back->value(QStringLiteral("NoPicture"))->toPicture()->isNull());
}

void TestSkinButton::propertyBagRejectsDamagedText()
{
    const QStringList bad = {
        QStringLiteral("Style=i16:40000"),            // beyond 16 bits
        QStringLiteral("Style=i32:3x"),
        QStringLiteral("Enabled=bool:yes"),
        QStringLiteral("BackColor=color:FFFFFF"),      // no 0x
        QStringLiteral("Caption=text:bad\\q escape"),
        QStringLiteral("Icon=picture:!!notbase64"),
        QStringLiteral("Style=float:1.5"),
        QStringLiteral("just some words"),
        QStringLiteral("=i32:1"),
        QStringLiteral("Style=i32:1\nStyle=i32:2"),   // a key given twice
    };
    for (const QString &text : bad) {
        QString error;
        QVERIFY2(!PropertyBag::fromText(text, &error), qPrintable(text));
        QVERIFY2(error.startsWith(QStringLiteral("line ")), qPrintable(error));
    }
    // Comments and blank lines are fine; a section header is not a single bag.
    QVERIFY(PropertyBag::fromText(QStringLiteral("# note\n\nStyle=i32:1\r\n")));
    QVERIFY(!PropertyBag::fromText(QStringLiteral("[CmdList]\nStyle=i32:1")));

    // A wrongly typed value in a hand-edited store reads as the default.
    SkinButton b;
    b.readProperties(*PropertyBag::fromText(QStringLiteral("Style=text:six\nIconSize=font:x\nCaption=i32:5")));
    QCOMPARE(b.Style(), 3);
    QCOMPARE(b.Caption(), QStringLiteral("SkinButton"));
}

void TestSkinButton::propertyBagWriteSemantics()
{
    PropertyBag bag;
    // A 32-bit value equal to its 16-bit default is not stored.
    bag.writeProperty(QStringLiteral("Style"), PV::int32(3), PV::int16(3));
    QVERIFY(!bag.contains(QStringLiteral("Style")));
    QCOMPARE(*bag.readProperty(QStringLiteral("Style"), PV::int16(3)).toInteger(), 3);
    bag.writeProperty(QStringLiteral("Style"), PV::int32(6), PV::int16(3));
    QCOMPARE(bag.value(QStringLiteral("Style"))->kind(), PV::Kind::Int32);
    // Writing the default over an old value must not leave the old one behind.
    bag.writeProperty(QStringLiteral("Style"), PV::int32(3), PV::int16(3));
    QCOMPARE(*bag.readProperty(QStringLiteral("Style"), PV::int16(3)).toInteger(), 3);
    // Without a default a value is always stored, even an empty one.
    bag.writeProperty(QStringLiteral("Tooltiptitle"), PV::text(QString()));
    QVERIFY(bag.contains(QStringLiteral("Tooltiptitle")));
    // Keys the text form could not hold are refused.
    QVERIFY(!bag.writeProperty(QStringLiteral("a=b"), PV::int32(1)));
    QVERIFY(!bag.writeProperty(QStringLiteral("two\nlines"), PV::int32(1)));
    QVERIFY(!bag.writeProperty(QStringLiteral("[x]"), PV::int32(1)));
    QVERIFY(PropertyBag::fromText(bag.toText()));
}

void TestSkinButton::propertyBagFileWithSections()
{
    QMap<QString, PropertyBag> bags;
    bags[QStringLiteral("CmdList")].writeProperty(QStringLiteral("Caption"), PV::text(QStringLiteral("列出相册")));
    bags[QStringLiteral("CmdStartDown")].writeProperty(QStringLiteral("Enabled"), PV::boolean(false));
    bags[QStringLiteral("Empty")];

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("buttons.props"));
    QString error;
    QVERIFY2(PropertyBag::saveFile(path, bags, &error), qPrintable(error));
    const auto back = PropertyBag::loadFile(path, &error);
    QVERIFY2(back, qPrintable(error));
    QCOMPARE(back->keys(), bags.keys());
    QCOMPARE(*back->value(QStringLiteral("CmdList")).value(QStringLiteral("Caption"))->toText(),
             QStringLiteral("列出相册"));
    QCOMPARE(*back->value(QStringLiteral("CmdStartDown")).value(QStringLiteral("Enabled"))->toBool(), false);
    QVERIFY(!PropertyBag::loadFile(dir.filePath(QStringLiteral("missing")), &error));
    QVERIFY(!error.isEmpty());
}

void TestSkinButton::mainWindowButtonsFile()
{
    // Two sections of the file the main window loads for its buttons.
    const QString text = QStringLiteral(
        "[CmdChangePath]\n"
        "Icon=picture:\n"
        "Style=i32:6\n"
        "Caption=text:更改路径\n"
        "IconAlign=i32:0\n"
        "iNonThemeStyle=i32:0\n"
        "Tooltiptitle=text:\n"
        "ToolTipIcon=i32:0\n"
        "ToolTipType=i32:1\n"
        "ttBackColor=color:0x000000\n"
        "ttForeColor=color:0x000000\n"
        "Font=font:Verdana,8.25,-1,5,400,0,0,0,0,0,0,0,0,0,0,1\n"
        "MaskColor=color:0x000000\n"
        "\n"
        "[CmdStartDown]\n"
        "Icon=picture:\n"
        "Style=i32:6\n"
        "Caption=text:开始列队下载\n"
        "IconAlign=i32:0\n"
        "iNonThemeStyle=i32:0\n"
        "Enabled=bool:False\n"
        "BackColor=color:0xFFFFFF\n"
        "Tooltiptitle=text:\n"
        "ToolTipIcon=i32:0\n"
        "ToolTipType=i32:1\n"
        "ttBackColor=color:0x000000\n"
        "ttForeColor=color:0x000000\n"
        "Font=font:Verdana,8.25,-1,5,400,0,0,0,0,0,0,0,0,0,0,1\n"
        "MaskColor=color:0x000000\n");
    QString error;
    const auto bags = PropertyBag::sectionsFromText(text, &error);
    QVERIFY2(bags, qPrintable(error));

    QWidget window;
    auto *change = new SkinButton(&window);
    auto *start = new SkinButton(&window);
    QSignalSpy changes(start, &SkinButton::propertyChanged);
    change->readProperties(bags->value(QStringLiteral("CmdChangePath")));
    start->readProperties(bags->value(QStringLiteral("CmdStartDown")));
    QCOMPARE(changes.count(), 0); // loading is no edit

    for (SkinButton *b : {change, start}) {
        QCOMPARE(b->Style(), 6);
        QCOMPARE(b->NonThemeStyle(), 0);
        QCOMPARE(b->IconAlign(), 0);
        QCOMPARE(b->ToolTipType(), 1);
        QCOMPARE(b->MaskColor(), 0u);
        QCOMPARE(b->ToolTipForeColor(), 0u);
        QCOMPARE(b->ToolTipBackColor(), 0u);
        QCOMPARE(b->ToolTipTitle(), QString());
        QVERIFY(b->Icon().isNull());
        QCOMPARE(b->Font().family(), QStringLiteral("Verdana"));
        QCOMPARE(b->Font().pointSizeF(), 8.25);
        QCOMPARE(b->HighlightColor(), sys(OleColor::SysHighlight));
    }
    QCOMPARE(change->Caption(), QStringLiteral("更改路径"));
    QVERIFY(change->isEnabled());
    QCOMPARE(change->BackColor(), sys(OleColor::SysButtonFace));
    QCOMPARE(start->Caption(), QStringLiteral("开始列队下载"));
    QVERIFY(!start->isEnabled());
    QCOMPARE(start->BackColor(), 0xFFFFFFu);
}

void TestSkinButton::newInstanceValues()
{
    QWidget host;
    auto *b = new SkinButton(&host);
    QCOMPARE(SkinButtonProbe::textFormat(b), int(SkinButtonLook::NewInstanceTextFormat));
    b->setObjectName(QStringLiteral("CmdList"));
    QCOMPARE(b->Caption(), QStringLiteral("CmdList")); // the container's name
    QCOMPARE(b->Style(), 0);
    QCOMPARE(b->NonThemeStyle(), 0);
    QCOMPARE(b->IconAlign(), 0);
    QCOMPARE(b->IconSize(), 16);
    QCOMPARE(b->ToolTipType(), 1);
    QCOMPARE(b->ToolTipBackColor(), 0u);
    QCOMPARE(b->MaskColor(), 0u);
    QCOMPARE(b->BackColor(), sys(OleColor::SysButtonFace));
    QCOMPARE(b->HighlightColor(), sys(OleColor::SysHighlight));
    QCOMPARE(b->FontColor(), sys(OleColor::SysButtonText));
    QCOMPARE(b->FontHighlightColor(), sys(OleColor::SysButtonText));
    QVERIFY(!SkinButtonProbe::tracking(b)); // hover starts only after a load in run mode
    QCOMPARE(SkinButton::Version(), QStringLiteral("3.4.0"));

    b->setCaption(QStringLiteral("Go"));
    b->setObjectName(QStringLiteral("Renamed"));
    QCOMPARE(b->Caption(), QStringLiteral("Go"));

    SkinButton designed;
    designed.setRunMode(false);
    designed.readProperties(PropertyBag());
    QVERIFY(!SkinButtonProbe::tracking(&designed));
}

void TestSkinButton::defaultsFromEmptyStore()
{
    QWidget host;
    auto *b = new SkinButton(&host);
    b->setStyle(9);
    b->setCaption(QStringLiteral("before"));
    b->setMaskColor(0x123456);
    b->setBackColor(0x010203);
    b->readProperties(PropertyBag());

    QCOMPARE(b->Style(), 3);
    QCOMPARE(b->Caption(), QStringLiteral("SkinButton"));
    QCOMPARE(b->IconSize(), 16);
    QCOMPARE(b->IconAlign(), 1);
    QCOMPARE(b->CaptionAlign(), 0);
    QCOMPARE(b->NonThemeStyle(), 5);
    QVERIFY(b->isEnabled());
    QCOMPARE(b->MaskColor(), 0xC0C0C0u);
    QCOMPARE(b->ToolTipType(), 1);
    QCOMPARE(b->ToolTipIcon(), 0);
    QCOMPARE(b->BackColor(), sys(OleColor::SysButtonFace));
    QCOMPARE(b->HighlightColor(), sys(OleColor::SysHighlight));
    QCOMPARE(b->FontColor(), sys(OleColor::SysButtonText));
    QCOMPARE(b->FontHighlightColor(), sys(OleColor::SysButtonText));
    QCOMPARE(b->ToolTipBackColor(), sys(OleColor::SysInfoBackground));
    QCOMPARE(b->ToolTipForeColor(), sys(OleColor::SysInfoText));
    QVERIFY(SkinButtonProbe::tracking(b));
    QVERIFY(b->Icon().isNull());
}

void TestSkinButton::savedControlLoadsBackEqual()
{
    QPixmap picture(16, 16);
    picture.fill(Qt::blue);
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPointSizeF(8.25);

    QWidget host;
    auto *a = new SkinButton(&host);
    a->readProperties(PropertyBag());
    a->setIcon(QIcon(picture));
    a->setStyle(7);
    a->setCaption(QString()); // empty must stay empty, not become "SkinButton"
    a->setIconSize(24);
    a->setIconAlign(2);
    a->setCaptionAlign(4);
    a->setNonThemeStyle(0);
    a->setEnabled(false);
    a->setShowFocus(true);
    a->setUseCustomColors(true);
    a->setBackColor(0xFFFFFF);
    a->setHighlightColor(0x8000000D); // a system reference stays a reference
    a->setFontColor(0x0000FF);
    a->setFontHighlightColor(0x00FF00);
    a->setToolTipTitle(QStringLiteral("Title"));
    a->setToolTipIcon(3);
    a->setToolTipType(0);
    a->setToolTipForeColor(0x112233);
    a->setFont(verdana);
    a->setButtonType(1);
    a->setValue(true);
    a->setMaskColor(0x00FF00);
    a->setUseMaskColor(true);
    a->setMousePointer(11);

    PropertyBag saved;
    a->writeProperties(saved);
    // Saved in the control's order; the 16-bit cursor id keeps its width.
    const QStringList order = {"Icon", "Style", "Caption", "IconSize", "IconAlign", "CaptionAlign",
                               "iNonThemeStyle", "Enabled", "ShowFocus", "USeCustomColors", "BackColor",
                               "HighlightColor", "FontColor", "FontHighlightColor", "Tooltiptitle",
                               "ToolTipIcon", "ToolTipType", "ttForeColor", "Font", "ButtonType", "Value",
                               "MaskColor", "UseMaskColor", "MousePointer"};
    QCOMPARE(saved.keys(), order);
    QCOMPARE(saved.value(QStringLiteral("MousePointer"))->kind(), PV::Kind::Int16);
    QCOMPARE(saved.value(QStringLiteral("Style"))->kind(), PV::Kind::Int32);

    const auto reread = PropertyBag::fromText(saved.toText());
    QVERIFY(reread);
    QWidget host2;
    auto *b = new SkinButton(&host2);
    b->readProperties(*reread);

    QCOMPARE(b->Icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::blue));
    QCOMPARE(b->Style(), 7);
    QCOMPARE(b->Caption(), QString());
    QCOMPARE(b->IconSize(), 24);
    QCOMPARE(b->IconAlign(), 2);
    QCOMPARE(b->CaptionAlign(), 4);
    QCOMPARE(b->NonThemeStyle(), 0);
    QVERIFY(!b->isEnabled());
    QVERIFY(b->ShowFocus());
    QVERIFY(b->UseCustomColors());
    QCOMPARE(b->BackColor(), 0xFFFFFFu);
    QCOMPARE(b->HighlightColor(), 0x8000000Du);
    QCOMPARE(b->FontColor(), 0x0000FFu);
    QCOMPARE(b->FontHighlightColor(), 0x00FF00u);
    QCOMPARE(b->ToolTipTitle(), QStringLiteral("Title"));
    QCOMPARE(b->ToolTipIcon(), 3);
    QCOMPARE(b->ToolTipType(), 0);
    QCOMPARE(b->ToolTipForeColor(), 0x112233u);
    QCOMPARE(b->Font().family(), QStringLiteral("Verdana"));
    QCOMPARE(b->Font().pointSizeF(), 8.25);
    QCOMPARE(b->ButtonType(), 1);
    QVERIFY(b->Value());
    QCOMPARE(b->MaskColor(), 0x00FF00u);
    QVERIFY(b->UseMaskColor());
    QCOMPARE(b->MousePointer(), 11);
    QCOMPARE(b->cursor().shape(), Qt::WaitCursor);
    QCOMPARE(SkinButtonProbe::textFormat(b), int(SkinButtonLook::FormatCenter | SkinButtonLook::FormatBottom
                                  | SkinButtonLook::FormatSingleLine));

    PropertyBag again;
    b->writeProperties(again);
    QCOMPARE(again.toText(), saved.toText());
}

void TestSkinButton::everyStoredKeyLoadsAndSavesBack()
{
    QPixmap picture(16, 16);
    picture.fill(Qt::blue);
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPointSizeF(8.25);
    // Every key under its stored spelling, off its default, in the width and
    // the order the control saves it.
    const QList<std::pair<QString, PV>> stored = {
        {"Icon", PV::picture(picture)},
        {"Style", PV::int32(7)},
        {"Caption", PV::text(QStringLiteral("列出相册"))},
        {"IconSize", PV::int32(24)},
        {"IconAlign", PV::int32(2)},
        {"CaptionAlign", PV::int32(4)},
        {"iNonThemeStyle", PV::int32(0)},
        {"Enabled", PV::boolean(false)},
        {"ShowFocus", PV::boolean(true)},
        {"USeCustomColors", PV::boolean(true)},
        {"BackColor", PV::color(0xFEFDFC)},
        {"HighlightColor", PV::color(0x8000000D)},
        {"FontColor", PV::color(0x0000FF)},
        {"FontHighlightColor", PV::color(0x00FF00)},
        {"ToolTipText", PV::text(QStringLiteral("Own text"))},
        {"Tooltiptitle", PV::text(QStringLiteral("Title"))},
        {"ToolTipIcon", PV::int32(3)},
        {"ToolTipType", PV::int32(0)},
        {"ttBackColor", PV::color(0x102030)},
        {"ttForeColor", PV::color(0x112233)},
        {"Font", PV::font(verdana)},
        {"ButtonType", PV::int32(1)},
        {"Value", PV::boolean(true)},
        {"MaskColor", PV::color(0x00FF00)},
        {"UseMaskColor", PV::boolean(true)},
        {"MousePointer", PV::int16(11)},
    };
    PropertyBag bag;
    for (const auto &[key, value] : stored)
        QVERIFY(bag.writeProperty(key, value));

    QWidget host;
    auto *b = new SkinButton(&host);
    b->readProperties(bag);
    QCOMPARE(b->Caption(), QStringLiteral("列出相册"));
    QVERIFY(b->UseCustomColors());
    QCOMPARE(b->ToolTipBackColor(), 0x102030u);
    QCOMPARE(b->cursor().shape(), Qt::WaitCursor);
    // The text lands in the host's slot as well, so it is not saved again.
    QCOMPARE(b->ToolTipText(), QStringLiteral("Own text"));
    QCOMPARE(b->toolTip(), QStringLiteral("Own text"));

    PropertyBag saved;
    b->writeProperties(saved);
    QStringList expectedKeys;
    for (const auto &entry : stored)
        expectedKeys << entry.first;
    expectedKeys.removeOne(QStringLiteral("ToolTipText"));
    QCOMPARE(saved.keys(), expectedKeys);
    for (const auto &[key, value] : stored) {
        if (key == QLatin1String("ToolTipText"))
            continue;
        const auto back = saved.value(key);
        QVERIFY2(back && back->kind() == value.kind() && back->sameAs(value), qPrintable(key));
    }
}

void TestSkinButton::toolTipTextRulesOnSaveAndLoad()
{
    QWidget host;
    auto *a = new SkinButton(&host);
    a->readProperties(PropertyBag());

    // A button without stored tip colours shows a readable tip: text and
    // background are the tooltip colours, not swapped.
    sendEnter(a);
    QVERIFY(a->toolTipWindow());
    QCOMPARE(a->toolTipWindow()->textColor(), QApplication::palette().color(QPalette::ToolTipText));
    QCOMPARE(a->toolTipWindow()->backgroundColor(), QApplication::palette().color(QPalette::ToolTipBase));
    sendLeave(a);

    // A tip background equal to the system info background is not stored,
    // and loads back as that colour.
    a->setToolTipBackColor(sys(OleColor::SysInfoBackground));
    a->setToolTipForeColor(0x00FF00);
    PropertyBag bag;
    a->writeProperties(bag);
    QVERIFY(!bag.contains(QStringLiteral("ttBackColor")));
    QCOMPARE(*bag.value(QStringLiteral("ttForeColor"))->toInteger(), 0x00FF00);

    // Text equal to the host slot is not stored...
    a->setToolTip(QStringLiteral("Save here"));
    sendEnter(a);
    sendLeave(a); // own text now taken from the slot, slot restored
    QCOMPARE(a->ToolTipText(), QStringLiteral("Save here"));
    QCOMPARE(a->toolTip(), QStringLiteral("Save here"));
    bag = PropertyBag();
    a->writeProperties(bag);
    QVERIFY(!bag.contains(QStringLiteral("ToolTipText")));

    // ...and a container that restores its slot gets it back on load.
    QWidget host2;
    auto *b = new SkinButton(&host2);
    b->setToolTip(QStringLiteral("Save here"));
    b->readProperties(bag);
    QCOMPARE(b->ToolTipBackColor(), a->ToolTipBackColor());
    QCOMPARE(b->ToolTipForeColor(), 0x00FF00u);
    QCOMPARE(b->ToolTipText(), QStringLiteral("Save here"));
    QCOMPARE(b->toolTip(), QStringLiteral("Save here"));

    // Text that differs from the slot is stored and lands in both places.
    a->setToolTipText(QStringLiteral("Own text"));
    QCOMPARE(a->toolTip(), QString()); // suppressed while the tip exists
    bag = PropertyBag();
    a->writeProperties(bag);
    QCOMPARE(*bag.value(QStringLiteral("ToolTipText"))->toText(), QStringLiteral("Own text"));
    auto *c = new SkinButton(&host2);
    c->readProperties(bag);
    QCOMPARE(c->ToolTipText(), QStringLiteral("Own text"));
    QCOMPARE(c->toolTip(), QStringLiteral("Own text"));
}

void TestSkinButton::themedFallsBackWithoutTheme()
{
    SkinButton::setThemeAvailable(false);
    Host h;
    QVERIFY(h.exposed);
    h.button->setNonThemeStyle(2);
    h.button->setStyle(6);
    // The fallback is announced, but not from inside the painting, where a
    // slot could resize or repaint the button under its own painter.
    int notices = 0, noticesWhilePainting = 0;
    connect(h.button, &SkinButton::StyleChanged, h.button, [&] {
        ++notices;
        noticesWhilePainting += h.button->testAttribute(Qt::WA_WState_InPaintEvent);
    });
    h.button->Refresh();
    SkinButton::setThemeAvailable(true);
    QCOMPARE(h.button->Style(), 2);
    QTRY_COMPARE(notices, 1);
    QCOMPARE(noticesWhilePainting, 0);
    PropertyBag bag;
    h.button->writeProperties(bag);
    QCOMPARE(*bag.value(QStringLiteral("Style"))->toInteger(), 2);

    // With a theme the style stays Themed.
    h.button->setStyle(6);
    h.button->Refresh();
    QCOMPARE(h.button->Style(), 6);
}

void TestSkinButton::mousePointerChangesCursorWithoutRepaint()
{
    Host h;
    QVERIFY(h.exposed);
    PaintCounter paints(h.button);
    QCoreApplication::processEvents();
    paints.count = 0;

    QSignalSpy changed(h.button, &SkinButton::propertyChanged);
    h.button->setMousePointer(3);
    QCoreApplication::processEvents();
    QCOMPARE(h.button->cursor().shape(), Qt::IBeamCursor);
    QCOMPARE(paints.count, 0);
    QCOMPARE(changed.count(), 1);
    h.button->setMousePointer(0);
    QVERIFY(!h.button->testAttribute(Qt::WA_SetCursor));

    // The same wait does see a repaint for an ordinary property.
    h.button->setShowFocus(true);
    QTRY_VERIFY(paints.count > 0);
}

void TestSkinButton::enabledResetsStateAndMinimumSize()
{
    Host h;
    QVERIFY(h.exposed);
    sendEnter(h.button);
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Hot);
    QSignalSpy changed(h.button, &SkinButton::propertyChanged);
    h.button->setEnabled(false); // the plain QWidget call the host uses
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Normal);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().first().toString(), QStringLiteral("Enabled"));
    h.button->Refresh();
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Disabled);
    // The pointer leaving a button that was disabled under it still counts,
    // or the next entry after re-enabling would raise no MouseEnter.
    QSignalSpy leaves(h.button, &SkinButton::MouseLeave);
    sendLeave(h.button);
    QCOMPARE(leaves.count(), 1);
    QVERIFY(!h.button->toolTipWindow());
    PropertyBag bag;
    h.button->writeProperties(bag);
    QCOMPARE(*bag.value(QStringLiteral("Enabled"))->toBool(), false);
    // System colours are the desktop's, not the disabled widget's.
    QVERIFY(!bag.contains(QStringLiteral("BackColor")));
    QVERIFY(!bag.contains(QStringLiteral("HighlightColor")));
    QVERIFY(!bag.contains(QStringLiteral("FontColor")));
    SkinButton reloaded;
    reloaded.setEnabled(false);
    reloaded.readProperties(bag);
    QCOMPARE(reloaded.HighlightColor(), sys(OleColor::SysHighlight));

    h.button->setGeometry(0, 0, 10, 10);
    QCOMPARE(h.button->size(), QSize(20, 20));
    QCOMPARE(SkinButtonProbe::captionRect(h.button), QRect(QPoint(4, 4), QPoint(15, 15)));
}

void TestSkinButton::leftClickAndRightClickWithAccessKey()
{
    Host h;
    h.button->setCaption(QStringLiteral("&Go"));
    QVERIFY(h.activate());
    QSignalSpy clicks(h.button, &SkinButton::Click);

    // A fresh button has no left release yet, so the access key does nothing.
    QTest::keyClick(&h.window, Qt::Key_G, Qt::AltModifier);
    QCOMPARE(clicks.count(), 0);

    QTest::mouseClick(h.button, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(SkinButtonProbe::lastUpButton(h.button), 1);
    QTest::keyClick(&h.window, Qt::Key_G, Qt::AltModifier);
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Normal);

    QTest::mouseClick(h.button, Qt::RightButton);
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(SkinButtonProbe::lastUpButton(h.button), 2);
    QTest::keyClick(&h.window, Qt::Key_G, Qt::AltModifier);
    QCOMPARE(clicks.count(), 2);

    QTest::mouseClick(h.button, Qt::LeftButton);
    QTest::keyClick(&h.window, Qt::Key_G, Qt::AltModifier);
    QCOMPARE(clicks.count(), 4);

    // A release away from the button is no click, nor is one over a corner
    // its shape cuts off.
    QTest::mousePress(h.button, Qt::LeftButton);
    QTest::mouseRelease(h.button, Qt::LeftButton, {}, QPoint(150, 5));
    h.button->setStyle(SkinButtonLook::Capsule);
    QTest::mousePress(h.button, Qt::LeftButton);
    QTest::mouseRelease(h.button, Qt::LeftButton, {}, QPoint(1, 1));
    h.button->setStyle(SkinButtonLook::Etched);
    QCOMPARE(clicks.count(), 4);

    // The default-button key works only while the host shows it as default.
    QTest::keyClick(&h.window, Qt::Key_Return);
    QCOMPARE(clicks.count(), 4);
    QTest::mouseClick(h.button, Qt::LeftButton);
    h.button->setDisplayAsDefault(true);
    QTest::keyClick(&h.window, Qt::Key_Return);
    QCOMPARE(clicks.count(), 6);
}

void TestSkinButton::toggleClickedTwice()
{
    Host h;
    QVERIFY(h.exposed);
    h.button->setButtonType(SkinButtonLook::Toggle);
    QSignalSpy clicks(h.button, &SkinButton::Click);

    sendMouse(h.button, QEvent::MouseButtonPress, Qt::LeftButton);
    sendMouse(h.button, QEvent::MouseButtonRelease, Qt::LeftButton);
    QVERIFY(h.button->Value());
    QCOMPARE(clicks.count(), 1);
    h.button->Refresh();
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Pressed); // drawn down between the clicks

    sendMouse(h.button, QEvent::MouseButtonPress, Qt::LeftButton);
    sendMouse(h.button, QEvent::MouseButtonRelease, Qt::LeftButton);
    QVERIFY(!h.button->Value());
    QCOMPARE(clicks.count(), 2);
    h.button->Refresh();
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Hot);

    // Disabled wins over a toggled-down button.
    h.button->setValue(true);
    h.button->setEnabled(false);
    h.button->Refresh();
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Disabled);
}

void TestSkinButton::spaceGivesExactlyOneClick()
{
    Host h;
    QSignalSpy clicks(h.button, &SkinButton::Click);

    sendKey(h.button, QEvent::KeyPress, Qt::Key_Space);
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Pressed);
    QCOMPARE(clicks.count(), 0);
    // Holding the key: auto-repeat pairs add nothing.
    sendKey(h.button, QEvent::KeyRelease, Qt::Key_Space, true);
    sendKey(h.button, QEvent::KeyPress, Qt::Key_Space, true);
    QCOMPARE(clicks.count(), 0);
    sendKey(h.button, QEvent::KeyRelease, Qt::Key_Space);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Hot);

    // Space clicks even after a right click, and leaves the right click as
    // the last mouse button only until its own key-up counts as a left one.
    sendMouse(h.button, QEvent::MouseButtonPress, Qt::RightButton);
    sendMouse(h.button, QEvent::MouseButtonRelease, Qt::RightButton);
    QCOMPARE(clicks.count(), 1);
    h.button->setButtonType(SkinButtonLook::Toggle);
    QVERIFY(h.activate());
    QTest::keyClick(h.button, Qt::Key_Space);
    QCOMPARE(clicks.count(), 2);
    QVERIFY(h.button->Value());
    QCOMPARE(SkinButtonProbe::lastUpButton(h.button), 1);
}

void TestSkinButton::enterAndArrowKeys()
{
    Host h;
    auto *second = new SkinButton(&h.window);
    second->setGeometry(100, 10, 75, 23);
    second->show();
    QVERIFY(h.activate());
    h.button->setFocus();
    QTRY_VERIFY(h.button->hasFocus());
    QVERIFY(SkinButtonProbe::hasFocus(h.button));
    QSignalSpy clicks(h.button, &SkinButton::Click);
    const auto before = SkinButtonProbe::state(h.button);

    QTest::keyClick(h.button, Qt::Key_Return);
    QTest::keyClick(h.button, Qt::Key_Enter);
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(SkinButtonProbe::state(h.button), before);

    QTest::keyClick(h.button, Qt::Key_Right);
    QTRY_VERIFY(second->hasFocus());
    QVERIFY(!SkinButtonProbe::hasFocus(h.button));
    QVERIFY(SkinButtonProbe::hasFocus(second));
    QTest::keyClick(second, Qt::Key_Left);
    QTRY_VERIFY(h.button->hasFocus());
}

void TestSkinButton::doubleClickGivesOneClick()
{
    Host h;
    QSignalSpy clicks(h.button, &SkinButton::Click);
    sendMouse(h.button, QEvent::MouseButtonPress, Qt::LeftButton);
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Pressed);
    sendMouse(h.button, QEvent::MouseButtonRelease, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    sendMouse(h.button, QEvent::MouseButtonDblClick, Qt::LeftButton);
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Pressed);
    sendMouse(h.button, QEvent::MouseButtonRelease, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Hot);

    // The next ordinary click counts again.
    sendMouse(h.button, QEvent::MouseButtonPress, Qt::LeftButton);
    sendMouse(h.button, QEvent::MouseButtonRelease, Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
}

void TestSkinButton::hoverEnterLeaveCounts()
{
    Host h;
    QSignalSpy enters(h.button, &SkinButton::MouseEnter);
    QSignalSpy leaves(h.button, &SkinButton::MouseLeave);

    sendEnter(h.button);
    QTest::mouseMove(h.button, QPoint(8, 8));
    QTest::mouseMove(h.button, QPoint(12, 9));
    QCOMPARE(enters.count(), 1);
    QVERIFY(h.button->isMouseInside());
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Hot);

    sendLeave(h.button);
    sendLeave(h.button); // a stray second leave is no second crossing
    QCOMPARE(leaves.count(), 1);
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Normal);

    sendEnter(h.button);
    QCOMPARE(enters.count(), 2);
    QCOMPARE(leaves.count(), 1);

    // A button never loaded in run mode does not track the pointer.
    SkinButton fresh;
    QSignalSpy freshEnters(&fresh, &SkinButton::MouseEnter);
    sendEnter(&fresh);
    QCOMPARE(freshEnters.count(), 0);
}

void TestSkinButton::toolTipBuiltFromProperties()
{
    Host h;
    h.button->setToolTip(QStringLiteral("Opens the folder"));
    h.button->setToolTipTitle(QStringLiteral("Folder"));
    h.button->setToolTipIcon(SkinButton::TipInfo);
    h.button->setToolTipForeColor(0x0000FF);
    h.button->setToolTipBackColor(0);
    QVERIFY(!h.button->toolTipWindow());

    sendEnter(h.button);
    SkinToolTip *tip = h.button->toolTipWindow();
    QVERIFY(tip);
    QCOMPARE(tip->kind(), SkinToolTip::Balloon);
    QVERIFY(tip->isWindow());
    QVERIFY(tip->windowFlags().testFlag(Qt::ToolTip));
    QCOMPARE(tip->text(), QStringLiteral("Opens the folder"));
    QCOMPARE(tip->title(), QStringLiteral("Folder"));
    QCOMPARE(tip->titleIcon(), int(SkinToolTip::Info));
    QCOMPARE(tip->textColor(), QColor(255, 0, 0));
    QVERIFY(!tip->hasCustomBackgroundColor()); // 0 keeps the tip's own colour
    QCOMPARE(tip->backgroundColor(), tip->palette().color(QPalette::ToolTipBase));
    QCOMPARE(h.button->toolTip(), QString()); // the host shows no tip of its own
    QCOMPARE(h.button->ToolTipText(), QStringLiteral("Opens the folder"));
    QTRY_VERIFY(tip->isVisible()); // pops up while the pointer rests there
    QVERIFY(tip->height() > tip->sizeHint().height() - 1);

    sendLeave(h.button);
    QVERIFY(!h.button->toolTipWindow());
    QCOMPARE(h.button->toolTip(), QStringLiteral("Opens the folder"));

    // Plain kind, a warning icon with no title, a black text colour (0) left
    // at the tip's own, and a system reference translated.
    h.button->setToolTipType(SkinButton::Plain);
    h.button->setToolTipTitle(QString());
    h.button->setToolTipIcon(SkinButton::TipWarning);
    h.button->setToolTipForeColor(0);
    h.button->setToolTipBackColor(OleColor::SysHighlight);
    sendEnter(h.button);
    tip = h.button->toolTipWindow();
    QVERIFY(tip);
    QCOMPARE(tip->kind(), SkinToolTip::Plain);
    QVERIFY(tip->hasTitleLine());
    QCOMPARE(tip->title(), QString());
    QCOMPARE(tip->titleIcon(), int(SkinToolTip::Warning));
    QVERIFY(!tip->hasCustomTextColor());
    QCOMPARE(OleColor::fromColor(tip->backgroundColor()), OleColor::translate(OleColor::SysHighlight, h.button->palette()));

    // Hiding the button gives the text back to the host slot.
    h.button->hide();
    QCOMPARE(h.button->toolTip(), QStringLiteral("Opens the folder"));
    QVERIFY(!tip->isVisible());
}

void TestSkinButton::toolTipTextSetterSurvivesHover()
{
    Host h;
    h.button->setToolTip(QStringLiteral("host text"));
    h.button->setToolTipText(QStringLiteral("Mine"));
    QCOMPARE(h.button->ToolTipText(), QStringLiteral("Mine"));
    QVERIFY(h.button->toolTipWindow());
    QCOMPARE(h.button->toolTipWindow()->text(), QStringLiteral("Mine"));
    QCOMPARE(h.button->toolTip(), QString());

    // Hovering rebuilds the tip; the suppressed (empty) slot must not wipe it.
    sendEnter(h.button);
    QCOMPARE(h.button->toolTipWindow()->text(), QStringLiteral("Mine"));
    sendLeave(h.button);
    QCOMPARE(h.button->toolTip(), QStringLiteral("Mine"));
    QCOMPARE(h.button->ToolTipText(), QStringLiteral("Mine"));

    // Clearing through the setter clears it for good.
    h.button->setToolTipText(QString());
    QCOMPARE(h.button->toolTipWindow()->text(), QString());
    sendEnter(h.button);
    sendLeave(h.button);
    QCOMPARE(h.button->toolTip(), QString());
    QCOMPARE(h.button->ToolTipText(), QString());

    // An empty tool still gets a window, but nothing pops up.
    sendEnter(h.button);
    SkinToolTip *tip = h.button->toolTipWindow();
    QVERIFY(tip);
    tip->popUpAt(QPoint(20, 20));
    QVERIFY(!tip->isVisible());
}

void TestSkinButton::aboutWindow()
{
    Host h;
    h.button->About();
    AboutWindow *about = h.button->findChild<AboutWindow *>();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("About SkinButton 3.4.0"));
    QVERIFY(about->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(about->isWindow());
    QTest::mouseClick(about, Qt::LeftButton, {}, about->closeButtonRect().center());
    QVERIFY(!about->isVisible());
    h.button->About();
    QCOMPARE(h.button->findChild<AboutWindow *>(), about);
    QVERIFY(about->isVisible());
}

void TestSkinButton::accessibleButton()
{
    Host h;
    h.button->setCaption(QStringLiteral("R&&D &Go"));
    h.button->setToolTipText(QStringLiteral("Runs it")); // empties the host's slot
    h.button->setButtonType(SkinButtonLook::Toggle);
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(h.button);
    QCOMPARE(a->role(), QAccessible::PushButton);
    QCOMPARE(a->text(QAccessible::Name), QStringLiteral("R&D Go"));
    QCOMPARE(a->text(QAccessible::Description), QStringLiteral("Runs it"));
    QTest::mousePress(h.button, Qt::LeftButton);
    QVERIFY(a->state().pressed && a->state().checkable && !a->state().checked);
    QTest::mouseRelease(h.button, Qt::LeftButton);
    QVERIFY(a->state().checked);
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(!h.button->Value());
    QVERIFY(!a->state().checked && !a->state().pressed);
}

void TestSkinButton::accessiblePressReturnsBeforeTheClick()
{
    Host h;
    QVERIFY(h.exposed);
    QAccessibleActionInterface *press = QAccessible::queryAccessibleInterface(h.button)->actionInterface();
    const QString pressAction = QAccessibleActionInterface::pressAction();
    // The command waits in a loop of its own, as a message box does; the
    // assistive tool must not wait with it.
    int clicks = 0;
    bool handlerRunning = false;
    connect(h.button, &SkinButton::Click, h.button, [&] {
        ++clicks;
        QVERIFY(!handlerRunning);
        const QScopedValueRollback running(handlerRunning, true);
        QEventLoop box;
        QTimer::singleShot(20, &box, &QEventLoop::quit);
        box.exec();
    });

    press->doAction(pressAction);
    QCOMPARE(clicks, 0);
    QVERIFY(QAccessible::queryAccessibleInterface(h.button)->state().pressed); // shown held down
    QTRY_COMPARE(clicks, 1);
    QTRY_VERIFY(!handlerRunning);
    QCOMPARE(SkinButtonProbe::state(h.button), SkinButtonLook::Normal);

    // A second press before the first has clicked still gives one click.
    press->doAction(pressAction);
    press->doAction(pressAction);
    QTRY_VERIFY(!SkinButtonProbe::pressPending(h.button));
    QTRY_VERIFY(!handlerRunning);
    QCOMPARE(clicks, 2);

    // Disabled while the press is shown, the button gives no click, even
    // when it is enabled again before the click would have come.
    press->doAction(pressAction);
    h.button->setEnabled(false);
    h.button->setEnabled(true);
    QTRY_VERIFY(!SkinButtonProbe::pressPending(h.button));
    QCOMPARE(clicks, 2);

    // A disabled button takes no press at all.
    h.button->setEnabled(false);
    press->doAction(pressAction);
    QTRY_VERIFY(!SkinButtonProbe::pressPending(h.button));
    QCOMPARE(clicks, 2);
}

void TestSkinButton::qtPropertiesAndChangeNotices()
{
    QWidget host;
    auto *b = new SkinButton(&host);
    // Each property written through the property system reaches its setter:
    // its change signal and the container's save mark, once each.
    QPixmap blue(8, 8);
    blue.fill(Qt::blue);
    const QMetaObject *mo = &SkinButton::staticMetaObject;
    QCOMPARE(mo->propertyCount() - mo->propertyOffset(), 26);
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        const QVariant old = p.read(b);
        QVariant next;
        switch (old.typeId()) {
        case QMetaType::QIcon: next = QIcon(blue); break;
        case QMetaType::QFont: next = QFont(QStringLiteral("Verdana"), 20); break;
        case QMetaType::QString: next = old.toString() + u'x'; break;
        default: next = old.toUInt() ^ 1; next.convert(old.metaType()); // flags, numbers, colours
        }
        QSignalSpy notice(b, p.notifySignal());
        QSignalSpy marked(b, &SkinButton::propertyChanged);
        QVERIFY2(b->setProperty(p.name(), next) && notice.count() == 1 && marked.count() == 1, p.name());
        QCOMPARE(marked.first().first().toString(), QLatin1String(p.name()));
    }
    // Loading marks nothing for saving, yet watchers learn the loaded values.
    QSignalSpy marked(b, &SkinButton::propertyChanged);
    QSignalSpy captionNotice(b, &SkinButton::CaptionChanged);
    b->readProperties(PropertyBag());
    QCOMPARE(marked.count(), 0);
    QCOMPARE(captionNotice.count(), 1);
}

QTEST_MAIN(TestSkinButton)
#include "tst_skinbutton.moc"
