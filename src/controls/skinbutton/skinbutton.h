#pragma once

#include "olecolor.h"
#include "skinbuttonlook.h"

#include <QIcon>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

class AboutWindow;
class PropertyBag;
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
    QFont Font() const { return font(); } // setFont() is QWidget's
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

    // --- state, for the container and for tests ---------------------------
    SkinButtonLook::VisualState visualState() const { return m_state; }
    bool hasFocusFlag() const { return m_hasFocus; }
    bool isShownFlag() const { return m_shown; }
    bool isMouseInside() const { return m_mouseInside; }
    bool trackingEnabled() const { return m_trackingEnabled; }
    int lastUpButton() const { return m_lastUpButton; }
    int textFormat() const { return m_textFormat; }
    QRect captionRect() const { return m_captionRect; }
    SkinToolTip *toolTipWindow() const;
    AboutWindow *aboutWindow() const;
    // What the next repaint hands to the painter.
    SkinButtonLook::Look look() const;

    QSize sizeHint() const override;

signals:
    void Click();
    void MouseEnter();
    void MouseLeave();
    // Raised by every property setter so the container knows to save.
    void propertyChanged(const QString &name);

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
    void relayout();
    void changed(const char *name, bool relayoutNeeded);
    void buttonDown();
    void buttonUp(int button);
    void clickHandling();
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
    QRect m_wholeRect;
    QRect m_captionRect;
    int m_textFormat = SkinButtonLook::NewInstanceTextFormat;
    int m_mnemonicId = 0;
    int m_returnId = 0;
    int m_enterId = 0;
    QPointer<SkinToolTip> m_tip;
    QPointer<AboutWindow> m_about;
};
