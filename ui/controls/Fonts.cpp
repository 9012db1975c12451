#include "ui/controls/Fonts.h"

#include <QStringList>

const QString kGothic = QStringLiteral("ＭＳ ゴシック");
const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック");
const QString kSystemFont = QStringLiteral("System");

void installFontSubstitutions(bool latinTexts) {
    QFont::insertSubstitutions(kGothic, {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                                         QStringLiteral("DejaVu Sans Mono")});
    const QStringList proportional = latinTexts
        ? QStringList{QStringLiteral("DejaVu Sans"), QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック")}
        : QStringList{QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"), QStringLiteral("DejaVu Sans")};
    QFont::insertSubstitutions(kPGothic, proportional);
    QFont::insertSubstitutions(kSystemFont, {proportional.front(), QStringLiteral("DejaVu Sans")});
}

QFont makeFont(const QString &family, int pixelHeight, bool bold, bool underline) {
    QFont font(family);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setUnderline(underline);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}
