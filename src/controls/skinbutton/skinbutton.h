#pragma once

#include "olecolor.h"
#include "skinbuttonlook.h"

#include <QIcon>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

class AboutWindow;
class PropertyBag;
class PropertyValue;
class SkinToolTip;

// Quillmoor's owner-drawn push button. It draws itself through SkinButtonLook,
// loads and saves itself through a PropertyBag and shows its own tooltip.
//
// The container's parts of the control are Qt's: the control's name is its
// objectName(), the host's tooltip text slot is QWidget::toolTip(), the
// enabled flag is QWidget's, and the default font is the parent's font.
class SkinButton : public QWidget
{
    Q_OBJECT
    // The properties under their own names, so QObject::property, style sheet
    // selectors and property browsers see them. Colours are the stored 32-bit
    // values (RGB or a system-colour reference).
    Q_PROPERTY(int Style READ Style WRITE setStyle NOTIFY StyleChanged)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption NOTIFY CaptionChanged)
    Q_PROPERTY(QIcon Icon READ Icon WRITE setIcon NOTIFY IconChanged)
    Q_PROPERTY(int IconAlign READ IconAlign WRITE setIconAlign NOTIFY IconAlignChanged)
    Q_PROPERTY(int IconSize READ IconSize WRITE setIconSize NOTIFY IconSizeChanged)
    Q_PROPERTY(int CaptionAlign READ CaptionAlign WRITE setCaptionAlign NOTIFY CaptionAlignChanged)
    Q_PROPERTY(int NonThemeStyle READ NonThemeStyle WRITE setNonThemeStyle NOTIFY NonThemeStyleChanged)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled NOTIFY EnabledChanged)
    Q_PROPERTY(bool ShowFocus READ ShowFocus WRITE setShowFocus NOTIFY ShowFocusChanged)
    Q_PROPERTY(bool UseCustomColors READ UseCustomColors WRITE setUseCustomColors NOTIFY UseCustomColorsChanged)
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE setBackColor NOTIFY BackColorChanged)
    Q_PROPERTY(quint32 HighlightColor READ HighlightColor WRITE setHighlightColor NOTIFY HighlightColorChanged)
    Q_PROPERTY(quint32 FontColor READ FontColor WRITE setFontColor NOTIFY FontColorChanged)
    Q_PROPERTY(quint32 FontHighlightColor READ FontHighlightColor WRITE setFontHighlightColor NOTIFY FontHighlightColorChanged)
    Q_PROPERTY(QString ToolTipText READ ToolTipText WRITE setToolTipText NOTIFY ToolTipTextChanged)
    Q_PROPERTY(QString ToolTipTitle READ ToolTipTitle WRITE setToolTipTitle NOTIFY ToolTipTitleChanged)
    Q_PROPERTY(int ToolTipIcon READ ToolTipIcon WRITE setToolTipIcon NOTIFY ToolTipIconChanged)
    Q_PROPERTY(int ToolTipType READ ToolTipType WRITE setToolTipType NOTIFY ToolTipTypeChanged)
    Q_PROPERTY(quint32 ToolTipBackColor READ ToolTipBackColor WRITE setToolTipBackColor NOTIFY ToolTipBackColorChanged)
    Q_PROPERTY(quint32 ToolTipForeColor READ ToolTipForeColor WRITE setToolTipForeColor NOTIFY ToolTipForeColorChanged)
    Q_PROPERTY(QFont Font READ Font WRITE setFont NOTIFY FontChanged)
    Q_PROPERTY(int ButtonType READ ButtonType WRITE setButtonType NOTIFY ButtonTypeChanged)
    Q_PROPERTY(int MousePointer READ MousePointer WRITE setMousePointer NOTIFY MousePointerChanged)
    Q_PROPERTY(bool Value READ Value WRITE setValue NOTIFY ValueChanged)
    Q_PROPERTY(quint32 MaskColor READ MaskColor WRITE setMaskColor NOTIFY MaskColorChanged)
    Q_PROPERTY(bool UseMaskColor READ UseMaskColor WRITE setUseMaskColor NOTIFY UseMaskColorChanged)

public:
    enum TipKind { Plain = 0, Balloon = 1 };
    enum TipIcon { TipNone = 0, TipInfo = 1, TipWarning = 2, TipError = 3 };

    explicit SkinButton(QWidget *parent = nullptr);
    ~SkinButton() override;

    // --- properties -------------------------------------------------------
    int Style() const { return m_style; }
    void setStyle(int style);
    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    QIcon Icon() const { return m_icon; }
    void setIcon(const QIcon &icon);
    int IconAlign() const { return m_iconAlign; }
    void setIconAlign(int align);
    int IconSize() const { return m_iconSize; }
    void setIconSize(int size); // kept to 16 bits
    int CaptionAlign() const { return m_captionAlign; }
    void setCaptionAlign(int align);
    int NonThemeStyle() const { return m_nonThemeStyle; }
    void setNonThemeStyle(int style);
    // Enabled is QWidget's own isEnabled()/setEnabled(); see changeEvent().
    bool ShowFocus() const { return m_showFocus; }
    void setShowFocus(bool on);
    bool UseCustomColors() const { return m_useCustomColors; }
    void setUseCustomColors(bool on);
    OleColor::Value BackColor() const { return m_backColor; }
    void setBackColor(OleColor::Value c);
    OleColor::Value HighlightColor() const { return m_highlightColor; }
    void setHighlightColor(OleColor::Value c);
    OleColor::Value FontColor() const { return m_fontColor; }
    void setFontColor(OleColor::Value c);
    OleColor::Value FontHighlightColor() const { return m_fontHighlightColor; }
    void setFontHighlightColor(OleColor::Value c);
    QString ToolTipText() const { return m_toolTipText; }
    void setToolTipText(const QString &text);
    QString ToolTipTitle() const { return m_toolTipTitle; }
    void setToolTipTitle(const QString &title);
    int ToolTipIcon() const { return m_toolTipIcon; }
    void setToolTipIcon(int icon);
    int ToolTipType() const { return m_toolTipType; }
    void setToolTipType(int kind);
    OleColor::Value ToolTipBackColor() const { return m_toolTipBackColor; }
    void setToolTipBackColor(OleColor::Value c);
    OleColor::Value ToolTipForeColor() const { return m_toolTipForeColor; }
    void setToolTipForeColor(OleColor::Value c);
    QFont Font() const { return font(); } // setFont() is QWidget's; see changeEvent()
    int ButtonType() const { return m_buttonType; }
    void setButtonType(int kind);
    int MousePointer() const { return m_mousePointer; }
    void setMousePointer(int pointer); // changes the cursor only, no repaint
    bool Value() const { return m_value; }
    void setValue(bool value);
    OleColor::Value MaskColor() const { return m_maskColor; }
    void setMaskColor(OleColor::Value c);
    bool UseMaskColor() const { return m_useMaskColor; }
    void setUseMaskColor(bool on);

    // --- what the container supplies --------------------------------------
    bool runMode() const { return m_runMode; } // false while a form is designed
    void setRunMode(bool on);
    bool displayAsDefault() const { return m_displayAsDefault; }
    void setDisplayAsDefault(bool on);
    // Whether the desktop has a visual theme for the Themed style; without one
    // Themed buttons fall back to their NonThemeStyle. Shared by all buttons.
    static bool themeAvailable();
    static void setThemeAvailable(bool available);

    // --- methods ----------------------------------------------------------
    // A whole left click now, as if the pointer pressed and released the
    // button. Nothing when disabled.
    Q_SLOT void click();
    // The accessible press action: shows the button held down and clicks it
    // shortly after from the event loop, as QAbstractButton::animateClick
    // does, so the caller returns before any Click handler runs (one may open
    // a message box). Pressing again meanwhile still gives one click;
    // disabling the button drops the pending click.
    Q_SLOT void animateClick();
    bool PaintIconGrayscale(QPainter *painter, const QIcon &icon, int x, int y, int height, int width);
    void About();
    void Refresh();
    static QString Version() { return QStringLiteral("3.4.0"); }
    // Opens `link` with the desktop's handler. Returns OpenLinkSucceeded (42)
    // on success and 0 on failure, following the shell's "above 32 means
    // success" convention.
    static constexpr int OpenLinkSucceeded = 42;
    int OpenLink(const QString &link);

    // --- persistence ------------------------------------------------------
    void readProperties(const PropertyBag &bag);
    void writeProperties(PropertyBag &bag) const;

    // --- for the container ------------------------------------------------
    // The button's own tooltip window while the pointer is over it, and
    // whether the pointer is inside as far as the hover tracking knows.
    SkinToolTip *toolTipWindow() const;
    bool isMouseInside() const { return m_mouseInside; }

    QSize sizeHint() const override;

signals:
    void Click();
    void MouseEnter();
    void MouseLeave();
    // Raised by every property setter so the container knows to save.
    void propertyChanged(const QString &name);

    // Change notices of the Qt properties, raised alongside propertyChanged
    // and after loading.
    void StyleChanged();
    void CaptionChanged();
    void IconChanged();
    void IconAlignChanged();
    void IconSizeChanged();
    void CaptionAlignChanged();
    void NonThemeStyleChanged();
    void EnabledChanged();
    void ShowFocusChanged();
    void UseCustomColorsChanged();
    void BackColorChanged();
    void HighlightColorChanged();
    void FontColorChanged();
    void FontHighlightColorChanged();
    void ToolTipTextChanged();
    void ToolTipTitleChanged();
    void ToolTipIconChanged();
    void ToolTipTypeChanged();
    void ToolTipBackColorChanged();
    void ToolTipForeColorChanged();
    void FontChanged();
    void ButtonTypeChanged();
    void MousePointerChanged();
    void ValueChanged();
    void MaskColorChanged();
    void UseMaskColorChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    friend class SkinButtonAccessible;
    // Tests look at the private state through this class of their own.
    friend class SkinButtonProbe;

    // What assistive technology reads: the caption without its mnemonic
    // marker, and the text the tooltip shows (the host slot is emptied while
    // the button's own tip is up).
    QString accessibleCaption() const;
    QString toolTipShown() const;
    // Drawn down: held, or a Toggle whose Value is True; never when disabled.
    bool isDrawnPressed() const;
    // What the next repaint hands to the painter.
    SkinButtonLook::Look look() const;

    // One stored property: its key, default and how it is read and written.
    struct StoredProperty;
    enum class StoreDirection { Read, Write };
    static const QList<StoredProperty> s_storedProperties;
    PropertyValue storedDefault(const StoredProperty &property, StoreDirection direction) const;

    enum class FollowUp { Relayout, Repaint, None };
    void relayout();
    void changed(const char *name, FollowUp followUp);
    void notifyProperty(const char *name);
    void announceName();
    void announceDescription();
    void announceChecked();
    void buttonDown();
    void buttonUp(int button);
    void clickHandling();
    void releaseAsClick();
    void accessKeyPressed();
    void pointerEntered();
    void pointerLeft();
    void buildToolTip();
    void removeToolTip();
    void updateShortcuts();
    void applyMousePointer();
    QFont ambientFont() const;
    QPalette systemPalette() const;

    // Properties
    int m_style = SkinButtonLook::Standard;
    QString m_caption;
    QIcon m_icon;
    int m_iconAlign = SkinButtonLook::Center;
    int m_iconSize = 16;
    int m_captionAlign = SkinButtonLook::Center;
    int m_nonThemeStyle = SkinButtonLook::Standard;
    bool m_showFocus = false;
    bool m_useCustomColors = false;
    OleColor::Value m_backColor = 0;
    OleColor::Value m_highlightColor = 0;
    OleColor::Value m_fontColor = 0;
    OleColor::Value m_fontHighlightColor = 0;
    QString m_toolTipText;
    QString m_toolTipTitle;
    int m_toolTipIcon = TipNone;
    int m_toolTipType = Balloon;
    OleColor::Value m_toolTipBackColor = 0;
    OleColor::Value m_toolTipForeColor = 0;
    int m_buttonType = SkinButtonLook::Push;
    int m_mousePointer = 0;
    bool m_value = false;
    OleColor::Value m_maskColor = 0;
    bool m_useMaskColor = false;

    // Ambient values
    bool m_runMode = true;
    bool m_displayAsDefault = false;

    // Private state
    SkinButtonLook::VisualState m_state = SkinButtonLook::Normal;
    bool m_hasFocus = false;
    bool m_shown = false;
    bool m_mouseInside = false;
    bool m_trackingEnabled = false;
    int m_lastUpButton = 0;
    bool m_releaseEndsDoubleClick = false;
    bool m_spaceDown = false;
    bool m_captionFromName = true;
    bool m_loading = false;
    bool m_paintFailed = false;
    QRect m_wholeRect;
    QRect m_captionRect;
    int m_textFormat = SkinButtonLook::NewInstanceTextFormat;
    int m_mnemonicId = 0;
    int m_returnId = 0;
    int m_enterId = 0;
    QPointer<SkinToolTip> m_tip;
    QPointer<AboutWindow> m_about;
    QTimer m_pressTimer; // runs while an accessible press shows the button down
};
