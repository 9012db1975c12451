#pragma once

#include <QIcon>
#include <QImage>

// Pictures of the shutter's tool buttons, drawn in code.
QIcon aboutGlyph();  // 12 x 12: a red exclamation mark
QIcon dataGlyph();   // 16 x 16: a small window holding a table, with a greyed picture when disabled
QIcon helpGlyph();   // 12 x 12: a yellow question mark
QImage programIconImage();  // 32 x 32: a disc in front of an LCD strip
