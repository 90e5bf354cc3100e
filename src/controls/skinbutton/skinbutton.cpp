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

    // Held down a tenth of a second, as Qt's own buttons are.
    m_pressTimer.setSingleShot(true);
    m_pressTimer.setInterval(100);
    connect(&m_pressTimer, &QTimer::timeout, this, &SkinButton::releaseAsClick);
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
        // A disabled button gets no click, not even one pressed before.
        if (!isEnabled())
            m_pressTimer.stop();
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
    releaseAsClick();
}

void SkinButton::animateClick()
{
    if (!isEnabled())
        return;
    buttonDown();
    m_pressTimer.start();
}

void SkinButton::releaseAsClick()
{
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
