#pragma once

#include <QFont>

// The Japanese face names that the windows ask for, mapped to installed faces of the same kind:
// "ＭＳ ゴシック" (fixed-pitch Gothic), "ＭＳ Ｐゴシック" (proportional Gothic) and "System".
// `latinTexts`: the interface speaks a language in Latin letters; its proportional texts then take
// a Latin face first (Japanese characters in them still come from the Japanese face).
void installFontSubstitutions(bool latinTexts = false);

extern const QString kGothic;        // "ＭＳ ゴシック"
extern const QString kPGothic;       // "ＭＳ Ｐゴシック"
extern const QString kSystemFont;    // "System"

// A font of `family` whose characters are `pixelHeight` pixels high.
QFont makeFont(const QString &family, int pixelHeight, bool bold = false, bool underline = false);
