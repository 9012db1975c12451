#include "ui/controls/Label.h"

#include "ui/controls/Accessible.h"

#include "platform/TitleEncoding.h"

#include <QEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>

TLabel::TLabel(QWidget *parent) : QWidget(parent) {}

void TLabel::setCaption(const std::string &bytes) {
    if (bytes == m_caption) return;
    m_caption = bytes;
    m_text = titles::decode(bytes);
    fitToText();
    update();
    accessibleNameChanged(this);
}

bool TLabel::Clickable() const { return isSignalConnected(QMetaMethod::fromSignal(&TLabel::clicked)); }

void TLabel::setColor(const QColor &color) {
    m_color = color;
    m_transparent = false;
    update();
}

void TLabel::setTransparent(bool transparent) {
    m_transparent = transparent;
    update();
}

void TLabel::setFontColor(const QColor &color) {
    m_fontColor = color;
    update();
}

void TLabel::setAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    update();
}

void TLabel::setAutoSize(bool autoSize) {
    m_autoSize = autoSize;
    fitToText();
}

void TLabel::fitToText() {
    if (!m_autoSize) return;
    QFontMetrics metrics(font());
    resize(std::max(1, metrics.horizontalAdvance(m_text)), metrics.height());
}

void TLabel::changeEvent(QEvent *event) {
    if (event->type() == QEvent::FontChange) fitToText();
    QWidget::changeEvent(event);
}

void TLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    if (!m_transparent) painter.fillRect(rect(), m_color);
    painter.setFont(font());
    painter.setPen(m_fontColor);
    painter.drawText(rect(), static_cast<int>(m_alignment | Qt::TextSingleLine), m_text);
}

void TLabel::mousePressEvent(QMouseEvent *event) { m_click.press(event); }

void TLabel::mouseReleaseEvent(QMouseEvent *event) {
    if (m_click.release(this, event)) Q_EMIT clicked();
}
