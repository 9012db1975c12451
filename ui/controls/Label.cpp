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

void TLabel::setFace(const QColor &face) {
    m_face = face;
    setAttribute(Qt::WA_OpaquePaintEvent, face.isValid());
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
    if (!m_transparent)
        painter.fillRect(rect(), m_color);
    else if (m_face.isValid())
        painter.fillRect(rect(), m_face);
    painter.setFont(font());
    painter.setPen(m_fontColor);
    drawCaption(painter);
}

// A caption at the top, left or right, is drawn at its baseline: the same pixels as a text laid
// out in the label's rectangle, without the line layout that each new text of the title line
// would cost on every marquee step.
void TLabel::drawCaption(QPainter &painter) {
    const Qt::Alignment horizontal = m_alignment & Qt::AlignHorizontal_Mask;
    const bool plain = (m_alignment & Qt::AlignVertical_Mask) == Qt::AlignTop &&
                       (horizontal == Qt::AlignLeft || horizontal == Qt::AlignRight);
    if (!plain) {
        painter.drawText(rect(), static_cast<int>(m_alignment | Qt::TextSingleLine), m_text);
        return;
    }
    const QFontMetrics metrics(font());
    const int left = horizontal == Qt::AlignLeft ? 0 : width() - metrics.horizontalAdvance(m_text);
    painter.setClipRect(rect());
    painter.drawText(QPoint(left, metrics.ascent()), m_text);
}

void TLabel::mousePressEvent(QMouseEvent *event) { m_click.press(event); }

void TLabel::mouseReleaseEvent(QMouseEvent *event) {
    if (m_click.release(this, event)) Q_EMIT clicked();
}
