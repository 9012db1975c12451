#include "ui/ToolGlyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QImage blank(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QImage markGlyph(QChar mark, QColor colour) {
    QImage image = blank(12, 12);
    QPainter p(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(1, 1, 12, 12), Qt::AlignCenter, QString(mark));
    p.setPen(colour);
    p.drawText(QRect(0, 0, 12, 12), Qt::AlignCenter, QString(mark));
    return image;
}

QImage tableWindow(bool enabled) {
    QImage image = blank(16, 16);
    QPainter p(&image);
    QColor frame = enabled ? QColor(0, 0, 128) : QColor(128, 128, 128);
    QColor face = enabled ? QColor(255, 255, 255) : QColor(192, 192, 192);
    p.fillRect(1, 2, 14, 12, face);
    p.fillRect(1, 2, 14, 3, frame);
    p.setPen(frame);
    p.drawRect(1, 2, 13, 11);
    p.setPen(enabled ? QColor(0, 128, 128) : QColor(160, 160, 160));
    for (int y = 7; y <= 11; y += 2) p.drawLine(3, y, 12, y);
    p.drawLine(6, 6, 6, 12);
    return image;
}

}  // namespace

QIcon aboutGlyph() { return QIcon(QPixmap::fromImage(markGlyph(QLatin1Char('!'), QColor(255, 0, 0)))); }

QIcon helpGlyph() { return QIcon(QPixmap::fromImage(markGlyph(QLatin1Char('?'), QColor(255, 255, 0)))); }

QIcon dataGlyph() {
    QIcon icon(QPixmap::fromImage(tableWindow(true)));
    icon.addPixmap(QPixmap::fromImage(tableWindow(false)), QIcon::Disabled);
    return icon;
}

QImage programIconImage() {
    QImage image = blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(192, 192, 192));
    p.setPen(QColor(128, 128, 128));
    p.drawEllipse(QRectF(2, 2, 26, 26));
    p.setBrush(QColor(0, 255, 255));
    p.setPen(Qt::NoPen);
    QPainterPath shine;
    shine.moveTo(15, 15);
    shine.arcTo(QRectF(4, 4, 22, 22), 30, 60);
    p.drawPath(shine);
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(12, 12, 6, 6));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(14, 21, 17, 10, QColor(0, 255, 0));
    p.setPen(Qt::black);
    p.drawRect(14, 21, 16, 9);
    p.setPen(QColor(0, 128, 0));
    p.drawLine(17, 25, 27, 25);
    return image;
}
