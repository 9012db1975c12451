#pragma once

#include <QByteArray>
#include <QImage>
#include <QRgb>

// The pictures of the transport buttons: 16-colour images named "%s_%s" from a kind prefix
// ("EN" enabled, "DI" disabled, "CL" coloured) and a button name ("MPPLAY" ... "MPEJECT").
// Pixels of kGlyphTransparent are not drawn, so the button face shows through them.

inline constexpr QRgb kGlyphTransparent = 0xFF808000;  // olive

inline constexpr const char *kGlyphEnabled = "EN";
inline constexpr const char *kGlyphDisabled = "DI";
inline constexpr const char *kGlyphColored = "CL";

// "MPPLAY" for kind 0 up to "MPEJECT" for kind 8; nullptr for any other kind.
const char *transportButtonName(int kind);
// prefix + "_" + the button name of `kind`, e.g. "CL_MPSTOP"; empty for an unknown kind.
QByteArray transportGlyphName(const char *prefix, int kind);

// The glyph called `name`; a null image for an unknown name. All 27 glyphs are drawn together on
// the first call and kept for the rest of the run. UI thread only.
const QImage &transportGlyph(const char *name);
