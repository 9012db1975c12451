#include "ui/AboutBox.h"

#include "platform/Cp932.h"
#include "ui/ToolGlyphs.h"
#include "ui/controls/Fonts.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

TAboutBox *AboutBox = nullptr;

namespace {

TLabel *makeLabel(QWidget *parent, QRect geometry, const std::string &caption, int pixels) {
    auto *label = new TLabel(parent);
    label->setGeometry(geometry);
    label->setFont(makeFont(kGothic, pixels, true));
    label->setFontColor(Qt::black);
    label->setCaption(caption);
    return label;
}

// The check-mark glyph of the OK button, 18 x 18.
QIcon checkGlyph() {
    QImage image(18, 18, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(QPen(QColor(0, 128, 0), 3));
    p.drawLine(3, 9, 7, 14);
    p.drawLine(7, 14, 15, 4);
    return QIcon(QPixmap::fromImage(image));
}

}  // namespace

QIcon programIcon() { return QIcon(QPixmap::fromImage(programIconImage())); }

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("バージョン情報"));
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
    ProductName = makeLabel(Panel1, {56, 6, 143, 16}, cp932::fromUtf8("ＣD-Ｔunewick32"), 16);
    Version = makeLabel(Panel1, {116, 24, 85, 12}, "Version 1.20", 12);
    Comments = makeLabel(Panel1, {54, 40, 148, 12}, cp932::fromUtf8("CDﾌﾟﾚｲﾔｰ for Linux"), 12);
    OKButton = new QPushButton(checkGlyph(), QStringLiteral("Ｏ Ｋ      "), this);
    OKButton->setGeometry(6, 60, 203, 23);
    OKButton->setIconSize({18, 18});
    OKButton->setFont(makeFont(kGothic, 13, true));
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    AboutBox = this;
}

void TAboutBox::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
    OKButton->setFocus();
}
