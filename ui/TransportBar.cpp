#include "ui/TransportBar.h"

#include <QMouseEvent>
#include <QPainter>

TMediaPlayer::TMediaPlayer(QWidget *parent) : QWidget(parent) { setFocusPolicy(Qt::NoFocus); }

void TMediaPlayer::setEnabledButtons(TButtonSet set) {
    m_enabled = set;
    update();
}

void TMediaPlayer::setVisibleButtons(TButtonSet set) {
    m_visible = set;
    update();
}

void TMediaPlayer::setColoredButtons(TButtonSet set) {
    m_colored = set;
    update();
}

void TMediaPlayer::click(TMPBtnType button) {
    bool doDefault = true;
    if (OnClick) OnClick(this, button, doDefault);
    if (!doDefault) return;
    runDefault(button);
    if (OnPostClick) OnPostClick(this, button);
}

void TMediaPlayer::runDefault(TMPBtnType button) {
    switch (button) {
    case btPlay: Play(); break;
    case btPause: Pause(); break;
    case btStop: Stop(); break;
    case btNext: Next(); break;
    case btPrev: Previous(); break;
    case btEject: Eject(); break;
    default: break;
    }
}

// Placeholder drawing and hit test: nine equal buttons.
void TMediaPlayer::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), palette().button());
    int w = (width() - 1) / 9 + 1;
    for (int i = 0; i < 9; ++i) {
        QRect r(i * (w - 1), 0, w, height() - 1);
        p.drawRect(r);
        bool on = isEnabled() && (m_enabled >> i & 1);
        p.drawText(r, Qt::AlignCenter, on ? QStringLiteral("*") : QStringLiteral("."));
    }
}

void TMediaPlayer::mousePressEvent(QMouseEvent *event) {
    int w = (width() - 1) / 9 + 1;
    int hit = static_cast<int>(event->position().x()) / (w - 1);
    if (hit < 0 || hit > 8 || !isEnabled() || !(m_enabled >> hit & 1)) return;
    m_pressed = hit;
    m_down = true;
}

void TMediaPlayer::mouseMoveEvent(QMouseEvent *) {}

void TMediaPlayer::mouseReleaseEvent(QMouseEvent *) {
    int pressed = m_pressed;
    bool down = m_down;
    m_pressed = -1;
    m_down = false;
    if (pressed >= 0 && down) click(static_cast<TMPBtnType>(pressed));
}

void TMediaPlayer::mouseDoubleClickEvent(QMouseEvent *event) { mousePressEvent(event); }
