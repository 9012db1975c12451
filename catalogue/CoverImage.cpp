#include "catalogue/CoverImage.h"

#include <QBuffer>
#include <QImageReader>

namespace {

constexpr int kLargestSide = 2000;
constexpr int kMostScans = 100;

int byteAt(const QByteArray &bytes, qsizetype at) { return static_cast<unsigned char>(bytes.at(at)); }

// The end of the entropy-coded data that starts at `at`: the next marker that is neither a
// stuffed 0xFF nor a restart marker; the end of the bytes when none comes.
qsizetype entropyEnd(const QByteArray &bytes, qsizetype at) {
    for (qsizetype i = bytes.indexOf('\xFF', at); i >= 0 && i + 1 < bytes.size(); i = bytes.indexOf('\xFF', i + 1)) {
        const int next = byteAt(bytes, i + 1);
        if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7) && next != 0xFF) return i;
    }
    return bytes.size();
}

// Walks a JPEG's segments to its end marker, counting the scans: false when it ends before the
// end marker, a segment runs past the end, or it has too many scans.
bool jpegComplete(const QByteArray &bytes) {
    if (bytes.size() < 4 || byteAt(bytes, 0) != 0xFF || byteAt(bytes, 1) != 0xD8) return false;
    int scans = 0;
    qsizetype at = 2;
    while (at + 1 < bytes.size()) {
        if (byteAt(bytes, at) != 0xFF) return false;
        const int marker = byteAt(bytes, at + 1);
        if (marker == 0xFF) {  // fill bytes before a marker
            ++at;
            continue;
        }
        if (marker == 0xD9) return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (at + 3 >= bytes.size()) return false;
        const qsizetype length = byteAt(bytes, at + 2) << 8 | byteAt(bytes, at + 3);
        if (length < 2 || at + 2 + length > bytes.size()) return false;
        at += 2 + length;
        if (marker == 0xDA) {
            if (++scans > kMostScans) return false;
            at = entropyEnd(bytes, at);
        }
    }
    return false;
}

// A PNG ends with its IEND chunk; bytes cut short before it decode to a partial picture or none.
bool pngComplete(const QByteArray &bytes) { return bytes.endsWith(QByteArray("IEND\xAE\x42\x60\x82", 8)); }

}  // namespace

std::optional<const char *> coverImageExtension(const QByteArray &bytes) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    const bool complete = format == "jpeg" ? jpegComplete(bytes) : format == "png" && pngComplete(bytes);
    if (!complete) return std::nullopt;
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kLargestSide || size.height() > kLargestSide) return std::nullopt;
    if (reader.read().isNull()) return std::nullopt;
    return format == "jpeg" ? "jpg" : "png";
}
