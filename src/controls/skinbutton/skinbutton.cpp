#include "skinbutton.h"

#include "aboutwindow.h"
#include "propertybag.h"
#include "skinbuttonaccessible.h"
#include "skintooltip.h"

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QUrl>

#include <algorithm>
#include <optional>

using namespace SkinButtonLook;

namespace {

bool s_themeAvailable = true;

constexpr int MinimumSide = 20; // 300 twips

// Mouse buttons numbered as the container numbers them.
int buttonNumber(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

// The container's cursor ids. 99 (custom picture) has no picture property
// here, so it shows the default cursor like 0.
std::optional<Qt::CursorShape> cursorFor(int pointer)
{
    switch (pointer) {
    case 1: return Qt::ArrowCursor;
    case 2: return Qt::CrossCursor;
    case 3: return Qt::IBeamCursor;
    case 4: return Qt::ArrowCursor;
    case 5: return Qt::SizeAllCursor;
    case 6: return Qt::SizeBDiagCursor;
    case 7: return Qt::SizeVerCursor;
    case 8: return Qt::SizeFDiagCursor;
    case 9: return Qt::SizeHorCursor;
    case 10: return Qt::UpArrowCursor;
    case 11: return Qt::WaitCursor;
    case 12: return Qt::ForbiddenCursor;
    case 13: return Qt::BusyCursor;
    case 14: return Qt::WhatsThisCursor;
    case 15: return Qt::SizeAllCursor;
    default: return std::nullopt;
    }
}

int readInt(const PropertyBag &bag, const QString &key, const PropertyValue &def)
{
    // A value of the wrong kind in a hand-edited file reads as the default.
    const auto v = bag.readProperty(key, def).toInteger();
    return int(v ? *v : *def.toInteger());
}

bool readBool(const PropertyBag &bag, const QString &key, bool def)
{
    return bag.readProperty(key, PropertyValue::boolean(def)).toBool().value_or(def);
}

OleColor::Value readColor(const PropertyBag &bag, const QString &key, OleColor::Value def)
{
    const auto v = bag.readProperty(key, PropertyValue::color(def)).toInteger();
    return v ? OleColor::Value(quint32(*v)) : def;
}

QString readText(const PropertyBag &bag, const QString &key, const QString &def)
{
    return bag.readProperty(key, PropertyValue::text(def)).toText().value_or(def);
}

QPixmap iconPicture(const QIcon &icon)
{
    if (icon.isNull())
        return {};
    QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty())
        return icon.pixmap(32, 32);
    std::sort(sizes.begin(), sizes.end(),
              [](QSize a, QSize b) { return a.width() * a.height() < b.width() * b.height(); });
    return icon.pixmap(sizes.last());
}

} // namespace

SkinButton::SkinButton(QWidget *parent)
    : QWidget(parent)
{
    SkinButtonAccessible::installFactory();
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(MinimumSide, MinimumSide);

    const QPalette pal = systemPalette();
    m_backColor = OleColor::translate(OleColor::SysButtonFace, pal);
    m_highlightColor = OleColor::translate(OleColor::SysHighlight, pal);
    m_fontColor = OleColor::translate(OleColor::SysButtonText, pal);
    m_fontHighlightColor = OleColor::translate(OleColor::SysButtonText, pal);

    // A new button is captioned with its name until someone sets a caption.
    m_caption = objectName();
    connect(this, &QObject::objectNameChanged, this, [this](const QString &name) {
        if (m_captionFromName) {
            m_caption = name;
            updateShortcuts();
            relayout();
            notifyProperty("Caption");
            announceName();
        }
    });
    m_wholeRect = rect();
    m_captionRect = QRect(QPoint(4, 4), QPoint(width() - 5, height() - 5));
}

SkinButton::~SkinButton()
{
    delete m_tip;
}

bool SkinButton::themeAvailable()
{
    return s_themeAvailable;
}

void SkinButton::setThemeAvailable(bool available)
{
    s_themeAvailable = available;
}

QPalette SkinButton::systemPalette() const
{
    // The desktop's colours do not depend on this button's state; a disabled
    // widget's palette would otherwise answer with its disabled colours.
    QPalette pal = palette();
    pal.setCurrentColorGroup(QPalette::Active);
    return pal;
}

// --- properties -----------------------------------------------------------

void SkinButton::changed(const char *name, FollowUp followUp)
{
    if (followUp == FollowUp::Relayout)
        relayout();
    else if (followUp == FollowUp::Repaint)
        update();
    if (m_loading)
        return;
    emit propertyChanged(QString::fromLatin1(name));
    notifyProperty(name);
}

void SkinButton::notifyProperty(const char *name)
{
    // The property's own change signal, found through the meta-object so that
    // each setter marks its change in one place.
    const QMetaObject *mo = &SkinButton::staticMetaObject;
    const int index = mo->indexOfProperty(name);
    if (index >= 0)
        mo->property(index).notifySignal().invoke(this, Qt::DirectConnection);
}

void SkinButton::announceName()
{
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void SkinButton::announceDescription()
{
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

void SkinButton::announceChecked()
{
    if (m_buttonType != Toggle)
        return;
    QAccessible::State changedStates;
    changedStates.checked = true;
    changedStates.pressed = true;
    QAccessibleStateChangeEvent event(this, changedStates);
    QAccessible::updateAccessibility(&event);
}

void SkinButton::setStyle(int style)
{
    m_style = style;
    changed("Style", FollowUp::Relayout);
}

void SkinButton::setCaption(const QString &caption)
{
    m_captionFromName = false;
    m_caption = caption;
    updateShortcuts();
    changed("Caption", FollowUp::Relayout);
    announceName();
}

void SkinButton::setIcon(const QIcon &icon)
{
    m_icon = icon;
    changed("Icon", FollowUp::Relayout);
}

void SkinButton::setIconAlign(int align)
{
    m_iconAlign = align;
    changed("IconAlign", FollowUp::Relayout);
}

void SkinButton::setIconSize(int size)
{
    m_iconSize = qBound(-32768, size, 32767);
    changed("IconSize", FollowUp::Relayout);
}

void SkinButton::setCaptionAlign(int align)
{
    m_captionAlign = align;
    changed("CaptionAlign", FollowUp::Relayout);
}

void SkinButton::setNonThemeStyle(int style)
{
    m_nonThemeStyle = style;
    changed("NonThemeStyle", FollowUp::Relayout);
}

void SkinButton::setShowFocus(bool on)
{
    m_showFocus = on;
    changed("ShowFocus", FollowUp::Repaint);
}

void SkinButton::setUseCustomColors(bool on)
{
    m_useCustomColors = on;
    changed("UseCustomColors", FollowUp::Repaint);
}

void SkinButton::setBackColor(OleColor::Value c)
{
    m_backColor = c;
    changed("BackColor", FollowUp::Repaint);
}

void SkinButton::setHighlightColor(OleColor::Value c)
{
    m_highlightColor = c;
    changed("HighlightColor", FollowUp::Repaint);
}

void SkinButton::setFontColor(OleColor::Value c)
{
    m_fontColor = c;
    changed("FontColor", FollowUp::Repaint);
}

void SkinButton::setFontHighlightColor(OleColor::Value c)
{
    m_fontHighlightColor = c;
    changed("FontHighlightColor", FollowUp::Repaint);
}

void SkinButton::setToolTipText(const QString &text)
{
    m_toolTipText = text;
    setToolTip(text);
    buildToolTip();
    changed("ToolTipText", FollowUp::Repaint);
    announceDescription();
}

void SkinButton::setToolTipTitle(const QString &title)
{
    m_toolTipTitle = title;
    changed("ToolTipTitle", FollowUp::Repaint);
}

void SkinButton::setToolTipIcon(int icon)
{
    m_toolTipIcon = icon;
    changed("ToolTipIcon", FollowUp::Repaint);
}

void SkinButton::setToolTipType(int kind)
{
    m_toolTipType = kind;
    changed("ToolTipType", FollowUp::Repaint);
}

void SkinButton::setToolTipBackColor(OleColor::Value c)
{
    m_toolTipBackColor = c;
    changed("ToolTipBackColor", FollowUp::Repaint);
}

void SkinButton::setToolTipForeColor(OleColor::Value c)
{
    m_toolTipForeColor = c;
    changed("ToolTipForeColor", FollowUp::Repaint);
}

void SkinButton::setButtonType(int kind)
{
    m_buttonType = kind;
    changed("ButtonType", FollowUp::Repaint);
}

void SkinButton::setMousePointer(int pointer)
{
    m_mousePointer = qBound(-32768, pointer, 32767);
    applyMousePointer();
    changed("MousePointer", FollowUp::None);
}

void SkinButton::applyMousePointer()
{
    if (const auto shape = cursorFor(m_mousePointer))
        setCursor(*shape);
    else
        unsetCursor();
}

void SkinButton::setValue(bool value)
{
    m_value = value;
    changed("Value", FollowUp::Repaint);
    announceChecked();
}

void SkinButton::setMaskColor(OleColor::Value c)
{
    m_maskColor = c;
    changed("MaskColor", FollowUp::Repaint);
}

void SkinButton::setUseMaskColor(bool on)
{
    m_useMaskColor = on;
    changed("UseMaskColor", FollowUp::Repaint);
}

void SkinButton::setRunMode(bool on)
{
    m_runMode = on;
    update();
}

void SkinButton::setDisplayAsDefault(bool on)
{
    if (m_displayAsDefault == on)
        return;
    m_displayAsDefault = on;
    updateShortcuts();
    update();
}

// --- methods --------------------------------------------------------------

bool SkinButton::PaintIconGrayscale(QPainter *painter, const QIcon &icon, int x, int y, int height, int width)
{
    return SkinButtonLook::paintIconGrayscale(painter, icon, x, y, height, width);
}

void SkinButton::About()
{
    if (!m_about)
        m_about = new AboutWindow(Version(), this);
    m_about->show();
    m_about->raise();
}

AboutWindow *SkinButton::aboutWindow() const
{
    return m_about;
}

SkinToolTip *SkinButton::toolTipWindow() const
{
    return m_tip;
}

void SkinButton::Refresh()
{
    repaint();
}

int SkinButton::OpenLink(const QString &link)
{
    if (link.trimmed().isEmpty())
        return 0;
    const QUrl url = QUrl::fromUserInput(link);
    if (!url.isValid())
        return 0;
    return QDesktopServices::openUrl(url) ? OpenLinkSucceeded : 0;
}

QSize SkinButton::sizeHint() const
{
    return {75, 23};
}

// --- persistence ----------------------------------------------------------

QFont SkinButton::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

void SkinButton::readProperties(const PropertyBag &bag)
{
    using PV = PropertyValue;
    const QPalette pal = systemPalette();
    // Loading is no change the container has to save again.
    const QScopedValueRollback loading(m_loading, true);
    m_state = Normal;

    m_icon = QIcon(bag.readProperty(QStringLiteral("Icon"), PV::picture({})).toPicture().value_or(QPixmap()));
    m_style = readInt(bag, QStringLiteral("Style"), PV::int16(3));
    m_caption = readText(bag, QStringLiteral("Caption"), QStringLiteral("SkinButton"));
    m_captionFromName = false;
    m_iconSize = qBound(-32768, readInt(bag, QStringLiteral("IconSize"), PV::int16(16)), 32767);
    m_captionAlign = readInt(bag, QStringLiteral("CaptionAlign"), PV::int32(Center));
    m_iconAlign = readInt(bag, QStringLiteral("IconAlign"), PV::int32(Left));
    m_nonThemeStyle = readInt(bag, QStringLiteral("iNonThemeStyle"), PV::int32(Gradient));
    setEnabled(readBool(bag, QStringLiteral("Enabled"), true));
    m_showFocus = readBool(bag, QStringLiteral("ShowFocus"), false);
    m_useCustomColors = readBool(bag, QStringLiteral("USeCustomColors"), false);
    m_backColor = readColor(bag, QStringLiteral("BackColor"), OleColor::translate(OleColor::SysButtonFace, pal));
    m_highlightColor = readColor(bag, QStringLiteral("HighlightColor"), OleColor::translate(OleColor::SysHighlight, pal));
    m_fontColor = readColor(bag, QStringLiteral("FontColor"), OleColor::translate(OleColor::SysButtonText, pal));
    m_fontHighlightColor = readColor(bag, QStringLiteral("FontHighlightColor"), OleColor::translate(OleColor::SysButtonText, pal));

    // The text is stored only when it differs from the host's slot, so an
    // absent key means "what the host slot holds": the second read defaults
    // to the slot's text rather than to nothing, which would lose the text.
    const QString current = m_tip ? m_toolTipText : toolTip();
    const QString slotText = readText(bag, QStringLiteral("ToolTipText"), current);
    setToolTip(slotText);
    m_toolTipText = readText(bag, QStringLiteral("ToolTipText"), slotText);
    if (m_tip) // a tooltip in place keeps the host slot empty
        buildToolTip();

    m_toolTipTitle = readText(bag, QStringLiteral("Tooltiptitle"), QString());
    m_toolTipIcon = readInt(bag, QStringLiteral("ToolTipIcon"), PV::int16(TipNone));
    m_toolTipType = readInt(bag, QStringLiteral("ToolTipType"), PV::int16(Balloon));
    // Background defaults to the info background and text to the info text.
    // Crossed over, a button without stored tip colours would get its tip
    // text in the tip's own background colour and show an unreadable tip.
    m_toolTipBackColor = readColor(bag, QStringLiteral("ttBackColor"), OleColor::translate(OleColor::SysInfoBackground, pal));
    m_toolTipForeColor = readColor(bag, QStringLiteral("ttForeColor"), OleColor::translate(OleColor::SysInfoText, pal));
    setFont(bag.readProperty(QStringLiteral("Font"), PV::font(font())).toFont().value_or(font()));
    m_buttonType = readInt(bag, QStringLiteral("ButtonType"), PV::int32(Push));
    m_value = readBool(bag, QStringLiteral("Value"), false);
    m_useMaskColor = readBool(bag, QStringLiteral("UseMaskColor"), false);
    m_maskColor = readColor(bag, QStringLiteral("MaskColor"), 0xC0C0C0);
    m_mousePointer = qBound(-32768, readInt(bag, QStringLiteral("MousePointer"), PV::int16(0)), 32767);
    applyMousePointer();

    updateShortcuts();
    relayout();

    if (m_runMode) {
        // Qt always reports enter and leave, so the tracking needs no probe.
        m_trackingEnabled = true;
        setMouseTracking(true);
    }

    // Loading marks nothing for saving, but whoever watches the properties
    // must see the loaded values.
    const QMetaObject *mo = &SkinButton::staticMetaObject;
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
        mo->property(i).notifySignal().invoke(this, Qt::DirectConnection);
    announceName();
    announceDescription();
}

void SkinButton::writeProperties(PropertyBag &bag) const
{
    using PV = PropertyValue;
    const QPalette pal = systemPalette();

    bag.writeProperty(QStringLiteral("Icon"), PV::picture(iconPicture(m_icon)));
    bag.writeProperty(QStringLiteral("Style"), PV::int32(m_style), PV::int16(3));
    // Written against the default it is read with; an empty default here
    // would turn an empty caption into "SkinButton" on the next load.
    bag.writeProperty(QStringLiteral("Caption"), PV::text(m_caption), PV::text(QStringLiteral("SkinButton")));
    bag.writeProperty(QStringLiteral("IconSize"), PV::int32(m_iconSize), PV::int16(16));
    bag.writeProperty(QStringLiteral("IconAlign"), PV::int32(m_iconAlign), PV::int32(Left));
    bag.writeProperty(QStringLiteral("CaptionAlign"), PV::int32(m_captionAlign), PV::int32(Center));
    bag.writeProperty(QStringLiteral("iNonThemeStyle"), PV::int32(m_nonThemeStyle), PV::int32(Gradient));
    bag.writeProperty(QStringLiteral("Enabled"), PV::boolean(!testAttribute(Qt::WA_ForceDisabled)), PV::boolean(true));
    bag.writeProperty(QStringLiteral("ShowFocus"), PV::boolean(m_showFocus), PV::boolean(false));
    bag.writeProperty(QStringLiteral("USeCustomColors"), PV::boolean(m_useCustomColors), PV::boolean(false));
    bag.writeProperty(QStringLiteral("BackColor"), PV::color(m_backColor), PV::color(OleColor::translate(OleColor::SysButtonFace, pal)));
    bag.writeProperty(QStringLiteral("HighlightColor"), PV::color(m_highlightColor), PV::color(OleColor::translate(OleColor::SysHighlight, pal)));
    bag.writeProperty(QStringLiteral("FontColor"), PV::color(m_fontColor), PV::color(OleColor::translate(OleColor::SysButtonText, pal)));
    bag.writeProperty(QStringLiteral("FontHighlightColor"), PV::color(m_fontHighlightColor), PV::color(OleColor::translate(OleColor::SysButtonText, pal)));
    bag.writeProperty(QStringLiteral("ToolTipText"), PV::text(m_toolTipText), PV::text(toolTip()));
    bag.writeProperty(QStringLiteral("Tooltiptitle"), PV::text(m_toolTipTitle));
    bag.writeProperty(QStringLiteral("ToolTipIcon"), PV::int32(m_toolTipIcon));
    bag.writeProperty(QStringLiteral("ToolTipType"), PV::int32(m_toolTipType));
    bag.writeProperty(QStringLiteral("ttBackColor"), PV::color(m_toolTipBackColor), PV::color(OleColor::translate(OleColor::SysInfoBackground, pal)));
    bag.writeProperty(QStringLiteral("ttForeColor"), PV::color(m_toolTipForeColor), PV::color(OleColor::translate(OleColor::SysInfoText, pal)));
    // Against the container's font: compared with the control's own font the
    // font would never be stored and would be lost on the next load.
    bag.writeProperty(QStringLiteral("Font"), PV::font(font()), PV::font(ambientFont()));
    bag.writeProperty(QStringLiteral("ButtonType"), PV::int32(m_buttonType), PV::int32(Push));
    bag.writeProperty(QStringLiteral("Value"), PV::boolean(m_value), PV::boolean(false));
    bag.writeProperty(QStringLiteral("MaskColor"), PV::color(m_maskColor), PV::color(0xC0C0C0));
    bag.writeProperty(QStringLiteral("UseMaskColor"), PV::boolean(m_useMaskColor), PV::boolean(false));
    bag.writeProperty(QStringLiteral("MousePointer"), PV::int16(qint16(m_mousePointer)), PV::int16(0));
}

// --- layout and painting --------------------------------------------------

Look SkinButton::look() const
{
    Look l;
    l.style = m_style;
    l.nonThemeStyle = m_nonThemeStyle;
    l.state = m_state;
    l.shown = m_shown;
    l.runMode = m_runMode;
    l.enabled = isEnabled();
    l.hasFocus = m_hasFocus;
    l.displayAsDefault = m_displayAsDefault;
    l.showFocus = m_showFocus;
    l.useCustomColors = m_useCustomColors;
    l.buttonType = m_buttonType;
    l.value = m_value;
    l.backColor = m_backColor;
    l.highlightColor = m_highlightColor;
    l.fontColor = m_fontColor;
    l.fontHighlightColor = m_fontHighlightColor;
    l.caption = m_caption;
    l.textFormat = m_textFormat;
    l.font = font();
    l.icon = m_icon;
    l.iconAlign = m_iconAlign;
    l.iconSize = m_iconSize;
    l.useMaskColor = m_useMaskColor;
    l.maskColor = m_maskColor;
    return l;
}

void SkinButton::relayout()
{
    if (width() < MinimumSide || height() < MinimumSide) {
        // The minimum size normally prevents this; the resize comes back here.
        resize(qMax(width(), MinimumSide), qMax(height(), MinimumSide));
        return;
    }
    m_wholeRect = rect();
    m_captionRect = QRect(QPoint(4, 4), QPoint(width() - 5, height() - 5));
    m_textFormat = textFormatFor(m_captionAlign, m_textFormat);
    setMask(region(m_style, size()));
    update();
}

void SkinButton::resizeEvent(QResizeEvent *)
{
    relayout();
}

void SkinButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    ThemeContext theme;
    theme.themeAvailable = s_themeAvailable;
    theme.widget = this;
    const PaintOutcome outcome = SkinButtonLook::paint(painter, size(), look(),
                                                       SystemColors::fromPalette(systemPalette()), theme);
    m_state = outcome.state;
    if (outcome.style != m_style) {
        // Themed without a theme: from now on the fallback style is the style.
        // Its region and face come with a follow-up layout, so the button does
        // not stay without a face until something else repaints it. The change
        // notice waits for it too: a slot run from inside a paint event could
        // resize or repaint the button in the middle of its own painting.
        m_style = outcome.style;
        QMetaObject::invokeMethod(this, [this] { changed("Style", FollowUp::Relayout); },
                                  Qt::QueuedConnection);
    }
    if (!outcome.ok && !m_paintFailed)
        qWarning("SkinButton %s: a colour of the button cannot be translated; what it "
                 "would draw is left out", qPrintable(objectName()));
    m_paintFailed = !outcome.ok;
}

// --- events ---------------------------------------------------------------

bool SkinButton::event(QEvent *e)
{
    if (e->type() == QEvent::Shortcut) {
        auto *se = static_cast<QShortcutEvent *>(e);
        const int id = se->shortcutId();
        if (id != 0 && (id == m_mnemonicId || id == m_returnId || id == m_enterId)) {
            accessKeyPressed();
            return true;
        }
    }
    return QWidget::event(e);
}

void SkinButton::updateShortcuts()
{
    for (int *id : {&m_mnemonicId, &m_returnId, &m_enterId}) {
        if (*id)
            releaseShortcut(*id);
        *id = 0;
    }
    const QKeySequence mnemonic = QKeySequence::mnemonic(m_caption);
    if (!mnemonic.isEmpty())
        m_mnemonicId = grabShortcut(mnemonic);
    if (m_displayAsDefault) {
        m_returnId = grabShortcut(QKeySequence(Qt::Key_Return));
        m_enterId = grabShortcut(QKeySequence(Qt::Key_Enter));
    }
}

void SkinButton::changeEvent(QEvent *e)
{
    switch (e->type()) {
    case QEvent::EnabledChange:
        // Runs for QWidget::setEnabled too, which is how the host enables us.
        m_state = Normal;
        changed("Enabled", FollowUp::Repaint);
        break;
    case QEvent::FontChange:
        // QWidget::setFont is the Font setter.
        changed("Font", FollowUp::Repaint);
        break;
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(e);
}

void SkinButton::showEvent(QShowEvent *e)
{
    m_shown = true;
    update();
    QWidget::showEvent(e);
}

void SkinButton::hideEvent(QHideEvent *e)
{
    m_shown = false;
    setToolTip(m_toolTipText);
    // A top-level tip would otherwise stay on screen without its button.
    if (m_tip)
        m_tip->hideTip();
    QWidget::hideEvent(e);
}

void SkinButton::focusInEvent(QFocusEvent *e)
{
    m_hasFocus = true;
    update();
    QWidget::focusInEvent(e);
}

void SkinButton::focusOutEvent(QFocusEvent *e)
{
    m_hasFocus = false;
    // A Space held while the focus leaves never gets its release here.
    if (m_spaceDown) {
        m_spaceDown = false;
        m_state = Normal;
    }
    update();
    QWidget::focusOutEvent(e);
}

void SkinButton::enterEvent(QEnterEvent *)
{
    if (m_trackingEnabled && !m_mouseInside && isEnabled())
        pointerEntered();
}

void SkinButton::mouseMoveEvent(QMouseEvent *)
{
    // Covers a pointer already inside when tracking started.
    if (m_trackingEnabled && !m_mouseInside)
        pointerEntered();
}

void SkinButton::leaveEvent(QEvent *)
{
    if (m_mouseInside)
        pointerLeft();
}

void SkinButton::pointerEntered()
{
    m_mouseInside = true;
    m_state = Hot;
    update();
    emit MouseEnter();
    buildToolTip();
    if (m_tip)
        m_tip->startHoverDelay();
}

void SkinButton::pointerLeft()
{
    m_mouseInside = false;
    m_state = Normal;
    removeToolTip();
    update();
    emit MouseLeave();
}

void SkinButton::buttonDown()
{
    m_state = Pressed;
    update();
}

void SkinButton::buttonUp(int button)
{
    if (button == 1) {
        m_state = (m_buttonType == Toggle && !m_value) ? Pressed : Hot;
        update();
    }
    m_lastUpButton = button;
}

void SkinButton::clickHandling()
{
    if (m_lastUpButton != 1)
        return;
    if (m_buttonType == Toggle) {
        m_value = !m_value;
        announceChecked();
    }
    m_state = Hot;
    update();
    emit Click();
}

void SkinButton::click()
{
    if (!isEnabled())
        return;
    buttonDown();
    buttonUp(1);
    clickHandling();
    // Nothing points at the button, so it does not stay lit.
    if (!m_mouseInside) {
        m_state = Normal;
        update();
    }
}

QString SkinButton::accessibleCaption() const
{
    // "&Save" reads "Save", "R&&D" reads "R&D".
    QString out;
    for (qsizetype i = 0; i < m_caption.size(); ++i) {
        if (m_caption.at(i) == u'&' && ++i == m_caption.size())
            break;
        out += m_caption.at(i);
    }
    return out;
}

QString SkinButton::toolTipShown() const
{
    // The same choice buildToolTip() makes.
    return (!m_tip || !toolTip().isEmpty()) ? toolTip() : m_toolTipText;
}

bool SkinButton::isDrawnPressed() const
{
    return isEnabled() && (m_state == Pressed || (m_buttonType == Toggle && m_value));
}

void SkinButton::accessKeyPressed()
{
    clickHandling();
    m_state = Normal;
}

void SkinButton::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        buttonDown();
    e->accept();
}

void SkinButton::mouseReleaseEvent(QMouseEvent *e)
{
    buttonUp(buttonNumber(e->button()));
    e->accept();
    // The release that completes a double click is not a second click.
    if (m_releaseEndsDoubleClick) {
        m_releaseEndsDoubleClick = false;
        return;
    }
    // Only the visible shape counts: a release in a cut-off corner is outside.
    if (rect().contains(e->position().toPoint())
        && region(m_style, size()).contains(e->position().toPoint()))
        clickHandling();
}

void SkinButton::mouseDoubleClickEvent(QMouseEvent *e)
{
    e->accept();
    if (m_lastUpButton == 1 && e->button() == Qt::LeftButton) {
        buttonDown();
        m_releaseEndsDoubleClick = true;
    }
}

// Qt folds the platform's key-down and character-typed notifications for
// Space into one key press, and auto-repeat sends further press/release
// pairs. So: the first press is the key down (Pressed), the real release is
// the key up followed by the typed character (one click). Holding Space
// therefore gives one Click, and one press and release gives exactly one.
void SkinButton::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Space:
        if (!e->isAutoRepeat()) {
            m_spaceDown = true;
            buttonDown();
        }
        e->accept();
        return;
    case Qt::Key_Left:
        focusNextPrevChild(false);
        e->accept();
        return;
    case Qt::Key_Right:
        focusNextPrevChild(true);
        e->accept();
        return;
    default:
        // Enter and the rest are the container's business.
        QWidget::keyPressEvent(e);
    }
}

void SkinButton::keyReleaseEvent(QKeyEvent *e)
{
    if (e->key() != Qt::Key_Space) {
        QWidget::keyReleaseEvent(e);
        return;
    }
    e->accept();
    if (e->isAutoRepeat() || !m_spaceDown)
        return;
    m_spaceDown = false;
    // The key-up is a left release, so the typed Space that follows clicks
    // whatever mouse button was released last.
    buttonUp(1);
    clickHandling();
}

// --- tooltip --------------------------------------------------------------

void SkinButton::buildToolTip()
{
    // While our tip exists the slot is empty by our own doing; taking that
    // empty text would wipe the tooltip on the next hover.
    if (!m_tip || !toolTip().isEmpty())
        m_toolTipText = toolTip();
    setToolTip(QString());

    delete m_tip;
    auto *tip = new SkinToolTip(this, m_toolTipType == Balloon ? SkinToolTip::Balloon : SkinToolTip::Plain);
    m_tip = tip;
    tip->setText(m_toolTipText);
    if (!m_toolTipTitle.isEmpty() || m_toolTipIcon != TipNone)
        tip->setTitle(m_toolTipIcon, m_toolTipTitle);
    const QPalette pal = systemPalette();
    // 0 (black) means "the tip's own colour"; untranslatable colours also
    // leave the tip's own colour.
    if (m_toolTipForeColor != 0)
        tip->setTextColor(OleColor::toColor(OleColor::translate(m_toolTipForeColor, pal)));
    if (m_toolTipBackColor != 0)
        tip->setBackgroundColor(OleColor::toColor(OleColor::translate(m_toolTipBackColor, pal)));
}

void SkinButton::removeToolTip()
{
    setToolTip(m_toolTipText);
    if (m_tip) {
        m_tip->hideTip();
        delete m_tip;
    }
}
