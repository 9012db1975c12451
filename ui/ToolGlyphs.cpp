#include "ui/ToolGlyphs.h"

#include <QIconEngine>
#include <QPainter>

#include <functional>

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

// An icon whose picture is drawn the first time it is painted. The marks are drawn with a font,
// and loading that font costs a noticeable share of the start-up, while the buttons that show them
// stay hidden until the shutter is opened.
class DrawnOnFirstUse : public QIconEngine {
public:
    DrawnOnFirstUse(std::function<QImage()> draw, QSize size) : m_draw(std::move(draw)), m_size(size) {}

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return m_size.boundedTo(size); }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return drawn().pixmap(size, mode, state);
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override {
        drawn().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QIconEngine *clone() const override { return new DrawnOnFirstUse(m_draw, m_size); }

private:
    const QIcon &drawn() {
        if (m_icon.isNull()) m_icon = QIcon(QPixmap::fromImage(m_draw()));
        return m_icon;
    }

    std::function<QImage()> m_draw;
    QSize m_size;
    QIcon m_icon;
};

QIcon markIcon(QChar mark, QColor colour) {
    return QIcon(new DrawnOnFirstUse([=] { return markGlyph(mark, colour); }, QSize(12, 12)));
}

}  // namespace

QIcon aboutGlyph() { return markIcon(QLatin1Char('!'), QColor(255, 0, 0)); }

QIcon helpGlyph() { return markIcon(QLatin1Char('?'), QColor(255, 255, 0)); }

QIcon dataGlyph() {
    QIcon icon(QPixmap::fromImage(tableWindow(true)));
    icon.addPixmap(QPixmap::fromImage(tableWindow(false)), QIcon::Disabled);
    return icon;
}

// Drawn without antialiasing in the 16 standard colours only, so that it stays crisp at 32 x 32:
// a silver disc with a rainbow sheen and a hole, and in front of it a lime LCD strip with digits.
QImage programIconImage() {
    const QColor black(0, 0, 0), grey(128, 128, 128), silver(192, 192, 192), white(255, 255, 255);
    const QColor cyan(0, 255, 255), magenta(255, 0, 255), yellow(255, 255, 0), lime(0, 255, 0);
    const QColor navy(0, 0, 128), green(0, 128, 0);
    QImage image = blank(32, 32);
    QPainter p(&image);
    p.setPen(grey);
    p.setBrush(silver);
    p.drawEllipse(QRect(1, 0, 28, 28));
    p.setBrush(Qt::NoBrush);
    // The sheen: short arcs of three colours on the upper left and lower right of the disc.
    const QColor sheen[] = {cyan, magenta, yellow};
    for (int i = 0; i < 3; ++i) {
        p.setPen(sheen[i]);
        QRect ring(5 + 2 * i, 4 + 2 * i, 20 - 4 * i, 20 - 4 * i);
        p.drawArc(ring, 100 * 16, 60 * 16);
        p.drawArc(ring, 280 * 16, 50 * 16);
    }
    p.setPen(grey);
    p.setBrush(white);
    p.drawEllipse(QRect(11, 10, 8, 8));
    p.setBrush(black);
    p.setPen(Qt::NoPen);
    p.drawRect(13, 12, 4, 4);
    // The LCD strip with a track number and a time in navy segments.
    p.setPen(black);
    p.setBrush(lime);
    p.drawRect(10, 20, 21, 10);
    p.setPen(green);
    p.drawLine(11, 21, 29, 21);
    p.setPen(navy);
    for (int x : {13, 17, 22, 26}) {
        p.drawLine(x, 23, x + 2, 23);
        p.drawLine(x + 2, 23, x + 2, 27);
        p.drawLine(x, 27, x + 2, 27);
    }
    p.drawPoint(20, 24);
    p.drawPoint(20, 26);
    return image;
}
