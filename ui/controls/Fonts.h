#pragma once

#include <QFont>

// The Japanese face names that the windows ask for, mapped to installed faces of the same kind:
// "ＭＳ ゴシック" (fixed-pitch Gothic), "ＭＳ Ｐゴシック" (proportional Gothic) and "System".
void installFontSubstitutions();

extern const QString kGothic;        // "ＭＳ ゴシック"
extern const QString kPGothic;       // "ＭＳ Ｐゴシック"
extern const QString kSystemFont;    // "System"

// A font of `family` whose characters are `pixelHeight` pixels high.
QFont makeFont(const QString &family, int pixelHeight, bool bold = false, bool underline = false);
