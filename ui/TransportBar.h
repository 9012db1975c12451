#pragma once

#include "player/CdAudioDevice.h"

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

// MediaPlayer1: the CD audio device and its row of nine picture buttons in one object. A press
// and release over an enabled button is a click: OnClick runs with DoDefault true, and if it leaves
// DoDefault true the button's own device operation follows, then OnPostClick.
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
    // Runs the device operation that belongs to `button` (Play, Pause, Stop, Next, Previous, Eject).
    void runDefault(TMPBtnType button);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    TButtonSet m_enabled = 0;
    TButtonSet m_visible = kAllButtons;
    TButtonSet m_colored = kAllButtons;
    int m_pressed = -1;
    bool m_down = false;
};
