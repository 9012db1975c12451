#pragma once

#include <QColor>

// The colours the windows are drawn in, by the names the design gives them.
inline const QColor kBlack(0, 0, 0);
inline const QColor kWhite(255, 255, 255);
inline const QColor kSilver(192, 192, 192);
inline const QColor kButtonFace = kSilver;  // panels whose colour is not given
inline const QColor kGrey(128, 128, 128);
inline const QColor kGreen(0, 128, 0);   // a switch that is on; the powered track grid
inline const QColor kLime(0, 255, 0);    // LCD-like fields
inline const QColor kNavy(0, 0, 128);
inline const QColor kRed(255, 0, 0);
