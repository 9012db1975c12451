#include "ui/controls/Panel.h"

#include "ui/controls/Accessible.h"
#include "ui/controls/Colours.h"

#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>

// The face of a panel whose colour is not set is the classic desktop's button face, whatever the
// desktop's palette: the white captions of the function buttons are drawn on it.
TPanel::TPanel(QWidget *parent) : QWidget(parent), m_color(kButtonFace) {}

void TPanel::setCaption(const QString &caption) {
    m_caption = caption;
    update();
    accessibleNameChanged(this);
}

void TPanel::setColor(const QColor &color) {
    m_color = color;
    update();
}

void TPanel::setFontColor(const QColor &color) {
    m_fontColor = color;
    update();
    accessibleCheckedChanged(this);
}

void TPanel::setBevelOuter(TBevelCut cut) {
    m_outer = cut;
    update();
}

void TPanel::setBevelInner(TBevelCut cut) {
    m_inner = cut;
    update();
}

void TPanel::setHint(const QString &hint) {
    m_hint = hint;
    applyToolTip();
    accessibleDescriptionChanged(this);
}

void TPanel::setShowHint(bool show) {
    m_showHint = show;
    applyToolTip();
}

bool TPanel::Clickable() const { return isSignalConnected(QMetaMethod::fromSignal(&TPanel::clicked)); }

void TPanel::applyToolTip() { setToolTip(m_showHint ? m_hint : QString()); }

void drawBevel(QPainter &painter, QRect &rect, TBevelCut cut) {
    if (cut == bvNone) return;
    QColor topLeft = cut == bvRaised ? QColor(255, 255, 255) : QColor(128, 128, 128);
    QColor bottomRight = cut == bvRaised ? QColor(128, 128, 128) : QColor(255, 255, 255);
    painter.setPen(topLeft);
    painter.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
    painter.drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
    painter.setPen(bottomRight);
    painter.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
    painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
    rect.adjust(1, 1, -1, -1);
}

void TPanel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    QRect r = rect();
    painter.fillRect(r, m_color);
    drawBevel(painter, r, m_outer);
    drawBevel(painter, r, m_inner);
    if (m_caption.isEmpty()) return;
    painter.setFont(font());
    painter.setPen(m_fontColor);
    painter.drawText(r, Qt::AlignCenter, m_caption);
}

void TPanel::mousePressEvent(QMouseEvent *event) { m_click.press(event); }

void TPanel::mouseReleaseEvent(QMouseEvent *event) {
    if (m_click.release(this, event)) Q_EMIT clicked();
}
