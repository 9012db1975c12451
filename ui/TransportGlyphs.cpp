#include "ui/TransportGlyphs.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

// The sixteen colours of a 4-bit bitmap; glyphs use only these.
const QList<QRgb> kPalette16 = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   kGlyphTransparent,
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(128, 128, 128),
    qRgb(192, 192, 192), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kGreen = 0xFF008000;
constexpr QRgb kGrey = 0xFF808080;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kYellow = 0xFFFFFF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kWhite = 0xFFFFFFFF;

// Shape building blocks: each says whether pixel (x, y) belongs to the figure.
bool box(int x, int y, int left, int top, int right, int bottom) {
    return x >= left && x <= right && y >= top && y <= bottom;
}
// Pointing right: the flat side on column `left`, the tip halfway between `top` and `bottom`.
bool rightTriangle(int x, int y, int left, int top, int bottom) {
    if (y < top || y > bottom) return false;
    int reach = std::min(y - top, bottom - y);
    return x >= left && x <= left + reach;
}
// Pointing left: the flat side on column `right`.
bool leftTriangle(int x, int y, int right, int top, int bottom) {
    if (y < top || y > bottom) return false;
    int reach = std::min(y - top, bottom - y);
    return x <= right && x >= right - reach;
}
// Pointing up: the tip at (centre, top), the base on row `bottom`.
bool upTriangle(int x, int y, int centre, int top, int bottom) {
    return y >= top && y <= bottom && std::abs(x - centre) <= y - top;
}
bool disc(int x, int y, int cx, int cy, int radiusSquared) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radiusSquared;
}

using Shape = bool (*)(int x, int y);

struct Picture {
    const char *name;
    int width;
    int height;
    int disabledWidth;
    QRgb colour;  // fill of the coloured glyph
    Shape shape;  // the figure leaves room for the white edge at its bottom and right
};

const std::array<Picture, 9> kPictures = {{
    {"MPPLAY", 17, 16, 17, kGreen, [](int x, int y) { return rightTriangle(x, y, 6, 2, 13); }},
    {"MPPAUSE", 13, 16, 12, kYellow,
     [](int x, int y) { return box(x, y, 2, 2, 4, 13) || box(x, y, 7, 2, 9, 13); }},
    {"MPSTOP", 17, 16, 17, kRed, [](int x, int y) { return box(x, y, 3, 3, 12, 12); }},
    {"MPNEXT", 21, 16, 21, kBlue,
     [](int x, int y) { return rightTriangle(x, y, 5, 2, 13) || box(x, y, 12, 2, 14, 13); }},
    {"MPPREV", 20, 16, 20, kBlue,
     [](int x, int y) { return box(x, y, 5, 2, 7, 13) || leftTriangle(x, y, 14, 2, 13); }},
    {"MPSTEP", 21, 16, 21, kBlue,
     [](int x, int y) { return box(x, y, 5, 2, 7, 13) || rightTriangle(x, y, 9, 2, 13); }},
    {"MPBACK", 21, 16, 21, kBlue,
     [](int x, int y) { return leftTriangle(x, y, 11, 2, 13) || box(x, y, 13, 2, 15, 13); }},
    {"MPRECORD", 13, 13, 13, kRed, [](int x, int y) { return disc(x, y, 6, 6, 17); }},
    {"MPEJECT", 19, 16, 19, kBlue,
     [](int x, int y) { return upTriangle(x, y, 9, 2, 8) || box(x, y, 3, 11, 15, 13); }},
}};

// Fills the figure with `fill` (or leaves it hollow when `fill` is transparent), gives it a grey
// edge along its top and left and a white one just outside its bottom and right.
QImage drawGlyph(const Picture &picture, int width, QRgb fill, bool outlineOnly) {
    QImage image(width, picture.height, QImage::Format_Indexed8);
    image.setColorTable(kPalette16);
    auto in = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < width && y < picture.height && picture.shape(x, y);
    };
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < width; ++x) {
            QRgb colour = kGlyphTransparent;
            if (in(x, y)) {
                bool topLeftEdge = !in(x - 1, y) || !in(x, y - 1);
                bool bottomRightEdge = !in(x + 1, y) || !in(x, y + 1);
                if (topLeftEdge || (outlineOnly && bottomRightEdge))
                    colour = kGrey;
                else if (!outlineOnly)
                    colour = fill;
            } else if (in(x - 1, y) || in(x, y - 1)) {
                colour = kWhite;
            }
            image.setPixel(x, y, static_cast<uint>(kPalette16.indexOf(colour)));
        }
    }
    return image;
}

QHash<QByteArray, QImage> drawAllGlyphs() {
    QHash<QByteArray, QImage> glyphs;
    for (int kind = 0; kind < static_cast<int>(kPictures.size()); ++kind) {
        const Picture &p = kPictures[static_cast<size_t>(kind)];
        glyphs.insert(transportGlyphName(kGlyphEnabled, kind), drawGlyph(p, p.width, kBlack, false));
        glyphs.insert(transportGlyphName(kGlyphColored, kind), drawGlyph(p, p.width, p.colour, false));
        glyphs.insert(transportGlyphName(kGlyphDisabled, kind),
                      drawGlyph(p, p.disabledWidth, kGlyphTransparent, true));
    }
    return glyphs;
}

}  // namespace

const char *transportButtonName(int kind) {
    if (kind < 0 || kind >= static_cast<int>(kPictures.size())) return nullptr;
    return kPictures[static_cast<size_t>(kind)].name;
}

QByteArray transportGlyphName(const char *prefix, int kind) {
    const char *button = transportButtonName(kind);
    if (!button) return {};
    return QByteArray(prefix) + '_' + button;
}

const QImage &transportGlyph(const char *name) {
    static const QHash<QByteArray, QImage> glyphs = drawAllGlyphs();
    static const QImage none;
    auto it = glyphs.constFind(QByteArray(name));
    return it == glyphs.constEnd() ? none : *it;
}
