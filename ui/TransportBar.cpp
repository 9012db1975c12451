#include "ui/TransportBar.h"

#include "ui/ErrorDisplay.h"
#include "ui/TransportGlyphs.h"
#include "ui/controls/AccessibleTransportBar.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <bit>

namespace {

constexpr int kButtonCount = 9;

bool inSet(TButtonSet set, int kind) { return (set >> kind & 1u) != 0; }

// Pixel-exact drawing on the bar's image: lines are rows or columns given by both end points.
void fill(QImage &image, QRect area, QRgb colour) {
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) image.setPixel(x, y, colour);
}
void row(QImage &image, int x1, int x2, int y, QRgb colour) {
    fill(image, QRect(QPoint(x1, y), QPoint(x2, y)), colour);
}
void column(QImage &image, int x, int y1, int y2, QRgb colour) {
    fill(image, QRect(QPoint(x, y1), QPoint(x, y2)), colour);
}

// Copies the glyph's opaque pixels; the transparent ones leave what is below.
void drawGlyph(QImage &image, QPoint at, const QImage &glyph) {
    for (int y = 0; y < glyph.height(); ++y) {
        for (int x = 0; x < glyph.width(); ++x) {
            QRgb colour = glyph.pixel(x, y);
            QPoint p = at + QPoint(x, y);
            if (colour != kGlyphTransparent && image.rect().contains(p)) image.setPixel(p, colour);
        }
    }
}

void drawButton(QImage &image, const TransportBarLook &look, TMPBtnType kind, int left, int buttonWidth) {
    const int h = look.size.height();
    const int right = left + buttonWidth;  // one past the border column
    fill(image, QRect(left, 0, buttonWidth, h), kBarFrameColour);
    fill(image, QRect(left + 1, 1, buttonWidth - 2, h - 2), kBarFaceColour);
    if (look.pressed == kind && look.down) {
        column(image, left + 1, 1, h - 2, kBarShadowColour);
        row(image, left + 1, right - 2, 1, kBarShadowColour);
    } else {
        column(image, left + 1, 1, h - 2, kBarHighlightColour);
        row(image, left + 1, right - 2, 1, kBarHighlightColour);
        row(image, left + 2, right - 2, h - 2, kBarShadowColour);
        column(image, right - 2, 2, h - 2, kBarShadowColour);
    }
    const QImage &glyph = transportGlyph(transportGlyphFor(look, kind).constData());
    drawGlyph(image, transportGlyphPos(look, kind, glyph.size()), glyph);
}

}  // namespace

int transportVisibleCount(TButtonSet visible) {
    return std::max(1, std::popcount(static_cast<unsigned>(visible & kAllButtons)));
}

int transportButtonWidth(int width, TButtonSet visible) {
    return (width - 1) / transportVisibleCount(visible) + 1;
}

QSize transportBarSize(QSize size, TButtonSet visible) {
    const int n = transportVisibleCount(visible);
    const int width = n * (transportButtonWidth(size.width(), visible) - 1) + 1;
    return {std::max(width, n * (kMinButtonWidth - 1) + 1), std::max(size.height(), kMinButtonHeight)};
}

int transportButtonLeft(TMPBtnType kind, int width, TButtonSet visible) {
    if (kind < 0 || kind >= kButtonCount || !inSet(visible, kind)) return -1;
    const int before = std::popcount(static_cast<unsigned>(visible & ((1u << kind) - 1)));
    return before * (transportButtonWidth(width, visible) - 1);
}

int transportButtonAt(int x, int width, TButtonSet visible) {
    const int buttonWidth = transportButtonWidth(width, visible);
    for (int kind = 0; kind < kButtonCount; ++kind) {
        const int left = transportButtonLeft(static_cast<TMPBtnType>(kind), width, visible);
        if (left >= 0 && x >= left && x <= left + buttonWidth) return kind;
    }
    return -1;
}

QPoint transportGlyphPos(const TransportBarLook &look, TMPBtnType kind, QSize glyphSize) {
    const int width = look.size.width();
    const int buttonWidth = transportButtonWidth(width, look.visible);
    const int shift = look.pressed == kind && look.down ? 1 : 0;
    return {transportButtonLeft(kind, width, look.visible) + buttonWidth / 2 - glyphSize.width() / 2 + shift,
            look.size.height() / 2 - glyphSize.height() / 2 + shift};
}

QByteArray transportGlyphFor(const TransportBarLook &look, TMPBtnType kind) {
    if (!look.barEnabled || !inSet(look.enabled, kind)) return transportGlyphName(kGlyphDisabled, kind);
    return transportGlyphName(inSet(look.colored, kind) ? kGlyphColored : kGlyphEnabled, kind);
}

QImage renderTransportBar(const TransportBarLook &look) {
    QImage image(look.size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return image;
    image.fill(Qt::transparent);
    const int w = look.size.width();
    const int h = look.size.height();
    row(image, 0, w - 1, 0, kBarFrameColour);
    row(image, 0, w - 1, h - 1, kBarFrameColour);
    column(image, 0, 0, h - 1, kBarFrameColour);
    column(image, w - 1, 0, h - 1, kBarFrameColour);
    const int buttonWidth = transportButtonWidth(w, look.visible);
    for (int kind = 0; kind < kButtonCount; ++kind) {
        const auto k = static_cast<TMPBtnType>(kind);
        const int left = transportButtonLeft(k, w, look.visible);
        if (left >= 0) drawButton(image, look, k, left, buttonWidth);
    }
    return image;
}

TMediaPlayer::TMediaPlayer(QWidget *parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    transportGlyph("EN_MPPLAY");  // draws the glyphs now rather than at the first paint
    layoutButtons();
}

void TMediaPlayer::setEnabledButtons(TButtonSet set) {
    const TButtonSet before = m_enabled;
    m_enabled = set & kAllButtons;
    update();
    accessibleTransportButtonsChanged(this, before ^ m_enabled);
}

void TMediaPlayer::setVisibleButtons(TButtonSet set) {
    m_visible = set & kAllButtons;
    layoutButtons();
    update();
}

void TMediaPlayer::setColoredButtons(TButtonSet set) {
    m_colored = set & kAllButtons;
    update();
}

QSize TMediaPlayer::sizeHint() const { return transportBarSize(QSize(0, 0), m_visible); }

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
    default: break;  // stepping and recording mean nothing to a CD audio device
    }
}

TransportBarLook TMediaPlayer::look() const {
    return {size(), m_visible, m_enabled, m_colored, isEnabled(), m_pressed, m_down};
}

// The minimum size holds at once, also for a hidden bar; rounding to whole buttons follows in
// resizeEvent, so a hidden bar takes its final width when it is shown.
void TMediaPlayer::layoutButtons() {
    setMinimumSize(transportBarSize(QSize(0, 0), m_visible));
    const QSize wanted = transportBarSize(size(), m_visible);
    if (wanted != size()) resize(wanted);
}

bool TMediaPlayer::overPressedButton(QPoint pos) const {
    const int left = transportButtonLeft(static_cast<TMPBtnType>(m_pressed), width(), m_visible);
    const int buttonWidth = transportButtonWidth(width(), m_visible);
    return left >= 0 && pos.x() >= left && pos.x() <= left + buttonWidth && pos.y() >= 0 &&
           pos.y() < height();
}

void TMediaPlayer::endPress() {
    m_captured = false;
    m_down = false;
    m_pressed = -1;
    update();
}

void TMediaPlayer::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.drawImage(0, 0, renderTransportBar(look()));
}

// Only the left button works the bar. The widget keeps the mouse from press to release by
// itself, so moves and the release arrive here even off the bar.
void TMediaPlayer::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || m_captured) return;
    const int hit = transportButtonAt(event->position().toPoint().x(), width(), m_visible);
    if (hit < 0 || !isEnabled() || !inSet(m_enabled, hit)) return;
    m_pressed = hit;
    m_captured = true;
    m_down = true;
    update();
}

void TMediaPlayer::mouseMoveEvent(QMouseEvent *event) {
    if (!m_captured) return;
    const bool over = overPressedButton(event->position().toPoint());
    if (over == m_down) return;
    m_down = over;
    update();
}

// The click runs guarded: a device error is shown to the user and must not unwind through Qt.
void TMediaPlayer::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || !m_captured) return;
    const auto button = static_cast<TMPBtnType>(m_pressed);
    const bool clicked = m_down;
    endPress();
    if (clicked) runGuarded([this, button] { click(button); });
}

void TMediaPlayer::mouseDoubleClickEvent(QMouseEvent *event) { mousePressEvent(event); }

void TMediaPlayer::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    layoutButtons();
}

// A bar switched off mid-press gets no release: drop the press so it is not drawn down later.
void TMediaPlayer::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::EnabledChange) return;
    if (!isEnabled()) endPress();
    update();
    accessibleTransportButtonsChanged(this, m_enabled);
}
