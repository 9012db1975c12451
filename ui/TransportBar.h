#pragma once

#include "player/CdAudioDevice.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>

// The nine buttons of the transport bar, in their fixed order; a TButtonSet has bit n for kind n.
enum TMPBtnType { btPlay, btPause, btStop, btNext, btPrev, btStep, btBack, btRecord, btEject };
using TButtonSet = uint16_t;

constexpr TButtonSet buttonSet(std::initializer_list<TMPBtnType> kinds) {
    TButtonSet set = 0;
    for (TMPBtnType k : kinds) set = static_cast<TButtonSet>(set | 1u << k);
    return set;
}
constexpr TButtonSet kAllButtons = 0x1FF;

// --- Layout, hit test and painting, free of any widget so that they can be checked offscreen ---

// Smallest button: the widest glyph plus 8 by the tallest glyph plus 4.
constexpr int kMinButtonWidth = 29;
constexpr int kMinButtonHeight = 20;

// Number of visible buttons, counted as 1 when none is visible.
int transportVisibleCount(TButtonSet visible);
// Width of every button of a bar `width` pixels wide; neighbours share their 1-pixel border.
int transportButtonWidth(int width, TButtonSet visible);
// The size a bar asked to be `size` takes: a whole number of buttons, never below the minimum.
QSize transportBarSize(QSize size, TButtonSet visible);
// Left edge of `kind`'s button, or -1 when it is not visible. It spans ButtonWidth + 1 columns
// from there, the last one being the next button's left edge.
int transportButtonLeft(TMPBtnType kind, int width, TButtonSet visible);
// The first visible button whose span contains x, both ends included; -1 for none.
int transportButtonAt(int x, int width, TButtonSet visible);

// Everything the bar's picture depends on.
struct TransportBarLook {
    QSize size{253, 20};
    TButtonSet visible = kAllButtons;
    TButtonSet enabled = 0;
    TButtonSet colored = kAllButtons;
    bool barEnabled = false;
    int pressed = -1;   // kind of the pressed button, -1 for none
    bool down = false;  // the pressed button is drawn down: the pointer is over it
};

// Colours of the bar, those of the classic desktop scheme.
constexpr QRgb kBarFrameColour = 0xFF000000;
constexpr QRgb kBarFaceColour = 0xFFC0C0C0;
constexpr QRgb kBarHighlightColour = 0xFFFFFFFF;
constexpr QRgb kBarShadowColour = 0xFF808080;

// Where `kind`'s glyph lands in a bar of `look`'s size (top-left corner), shifted while down.
QPoint transportGlyphPos(const TransportBarLook &look, TMPBtnType kind, QSize glyphSize);
// Name of the glyph that `kind` shows in `look`: disabled, coloured or enabled.
QByteArray transportGlyphFor(const TransportBarLook &look, TMPBtnType kind);
// The bar's picture; pixels outside every button stay transparent.
QImage renderTransportBar(const TransportBarLook &look);

// MediaPlayer1: the CD audio device and its row of nine picture buttons in one object. A press
// and release over an enabled button is a click: OnClick runs with DoDefault true, and if it leaves
// DoDefault true the button's own device operation follows, then OnPostClick. Between press and
// release the button is drawn down while the pointer is over it; releasing elsewhere is no click.
// The bar keeps its size a whole number of buttons and at least the minimum. Mouse only: it never
// takes the keyboard focus.
class TMediaPlayer : public QWidget, public CdAudioDevice {
    Q_OBJECT
public:
    explicit TMediaPlayer(QWidget *parent = nullptr);

    TButtonSet EnabledButtons() const { return m_enabled; }
    void setEnabledButtons(TButtonSet set);
    TButtonSet VisibleButtons() const { return m_visible; }
    void setVisibleButtons(TButtonSet set);
    TButtonSet ColoredButtons() const { return m_colored; }
    void setColoredButtons(TButtonSet set);

    std::function<void(QObject *sender, TMPBtnType button, bool &doDefault)> OnClick;
    std::function<void(QObject *sender, TMPBtnType button)> OnPostClick;
    int Tag = 0;

    // The click of `button` as the mouse gives it: OnClick, then the default operation.
    void click(TMPBtnType button);
    QSize sizeHint() const override;
    // Runs the device operation that belongs to `button` (Play, Pause, Stop, Next, Previous, Eject).
    void runDefault(TMPBtnType button);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    TransportBarLook look() const;
    void layoutButtons();
    bool overPressedButton(QPoint pos) const;
    void endPress();

    TButtonSet m_enabled = 0;
    TButtonSet m_visible = kAllButtons;
    TButtonSet m_colored = kAllButtons;
    int m_pressed = -1;
    bool m_captured = false;
    bool m_down = false;
};
