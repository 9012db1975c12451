#include "ui/AboutBox.h"

#include "platform/TitleEncoding.h"
#include "ui/ToolGlyphs.h"
#include "ui/controls/Fonts.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

TAboutBox *AboutBox = nullptr;

namespace {

constexpr int kGlyphSize = 18;

TLabel *makeLabel(QWidget *parent, QRect geometry, const std::string &caption, int pixels) {
    auto *label = new TLabel(parent);
    label->setGeometry(geometry);
    label->setFont(makeFont(kGothic, pixels, true));
    label->setFontColor(Qt::black);
    label->setCaption(caption);
    return label;
}

QImage checkMark(const QColor &colour) {
    QImage image(kGlyphSize, kGlyphSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(QPen(colour, 3));
    p.drawLine(3, 9, 7, 14);
    p.drawLine(7, 14, 15, 4);
    return image;
}

// The check-mark glyph of the OK button, with a grey picture for the disabled state.
QIcon checkGlyph() {
    QIcon icon(QPixmap::fromImage(checkMark(QColor(0, 128, 0))));
    icon.addPixmap(QPixmap::fromImage(checkMark(QColor(128, 128, 128))), QIcon::Disabled);
    return icon;
}

}  // namespace

QIcon programIcon() { return QIcon(QPixmap::fromImage(programIconImage())); }

TGlyphButton::TGlyphButton(const QIcon &glyph, const QString &caption, int margin, QWidget *parent)
    : QPushButton(glyph, caption, parent), m_margin(margin) {
    setIconSize({kGlyphSize, kGlyphSize});
}

QRect TGlyphButton::glyphRect() const {
    return {m_margin, (height() - kGlyphSize) / 2, kGlyphSize, kGlyphSize};
}

QRect TGlyphButton::captionRect() const {
    int left = m_margin + kGlyphSize;
    return {left, 0, width() - left, height()};
}

void TGlyphButton::paintEvent(QPaintEvent *) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);
    const bool sunken = isDown();
    const QPoint shift = sunken ? QPoint(1, 1) : QPoint();
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    painter.drawPixmap(glyphRect().translated(shift), icon().pixmap(iconSize(), devicePixelRatio(), mode));
    painter.setFont(font());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(captionRect().translated(shift), Qt::AlignCenter | Qt::TextSingleLine, text());
}

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setWindowTitle(tr("バージョン情報"));
    setFixedSize(214, 88);
    setFont(makeFont(kGothic, 13, true));
    Panel1 = new TPanel(this);
    Panel1->setGeometry(0, 0, 214, 87);
    Panel1->setBevelOuter(bvLowered);
    Panel1->setBevelInner(bvRaised);
    Panel2 = new TPanel(Panel1);
    Panel2->setGeometry(6, 6, 41, 41);
    Panel2->setColor(Qt::white);
    ProgramIcon = new QLabel(Panel2);
    ProgramIcon->setGeometry(4, 4, 33, 33);
    ProgramIcon->setPixmap(QPixmap::fromImage(programIconImage()));
    ProductName = makeLabel(Panel1, {56, 6, 143, 16}, titles::encode(tr("ＣD-Ｔunewick32")), 16);
    Version = makeLabel(Panel1, {116, 24, 85, 12}, "Version 1.20", 12);
    Comments = makeLabel(Panel1, {54, 40, 148, 12}, titles::encode(tr("CDﾌﾟﾚｲﾔｰ for Linux")), 12);
    OKButton = new TGlyphButton(checkGlyph(), tr("Ｏ Ｋ      "), 60, this);
    OKButton->setGeometry(6, 60, 203, 23);
    OKButton->setFont(makeFont(kGothic, 13, true));
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    AboutBox = this;
}

// Centred on the screen each time, and the OK button takes the focus so that Enter closes it.
void TAboutBox::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
    OKButton->setFocus();
}

// The box closes with OK, Enter or the close box; it has no cancel button, so Esc does nothing.
void TAboutBox::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) return event->accept();
    QDialog::keyPressEvent(event);
}
