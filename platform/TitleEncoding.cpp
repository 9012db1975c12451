#include "platform/TitleEncoding.h"

#include "platform/Cp932.h"

#include <QStringDecoder>

namespace titles {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the well-formed UTF-8 sequence at the start of `s` (no overlong forms, no
// surrogates, nothing past U+10FFFF), or 0 when its first byte begins none.
std::size_t sequenceLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char first = byte(0);
    if (first < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    }
    if (length == 0 || s.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

// UTF-8 that keeps every byte: a byte that begins no character is carried as U+DC00 + byte, as
// code page 932 carries its own, and written back as that byte.
QString decodeUtf8(std::string_view bytes) {
    QString out;
    std::size_t run = 0;  // start of the well-formed bytes not yet converted
    // A mark at the start of a run (right after the file's own mark, or after a kept byte) is a
    // character of the title (U+FEFF), not a mark to drop.
    const auto flush = [&](std::size_t end) {
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        out += decoder(QByteArrayView(bytes.data() + run, static_cast<qsizetype>(end - run)));
    };
    for (std::size_t i = 0; i < bytes.size();) {
        if (const std::size_t length = sequenceLength(bytes.substr(i))) {
            i += length;
            continue;
        }
        flush(i);
        out += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[i])));
        run = ++i;
    }
    flush(bytes.size());
    return out;
}

}  // namespace

std::string utf8Of(const QString &text) {
    std::string out;
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (u < 0xDC80 || u > 0xDCFF) continue;
        out += text.mid(run, i - run).toStdString();
        out += static_cast<char>(u - kEscapeBase);
        run = i + 1;
    }
    return out + text.mid(run).toStdString();
}

bool isUtf8(std::string_view title) { return title.substr(0, kUtf8Mark.size()) == kUtf8Mark; }

QString decode(std::string_view title) {
    if (!isUtf8(title)) return cp932::decode(title);
    return decodeUtf8(title.substr(kUtf8Mark.size()));
}

// Code page 932 bytes that begin as the mark does (a byte forming no character, then two half-width
// katakana) would read as UTF-8: such a title stays UTF-8.
std::string encode(const QString &text) {
    std::optional<std::string> bytes = cp932::encode(text);
    if (bytes && !isUtf8(*bytes)) return *bytes;
    return std::string(kUtf8Mark) + utf8Of(text);
}

std::string toUtf8(std::string_view title) {
    if (isUtf8(title)) return std::string(title.substr(kUtf8Mark.size()));
    return utf8Of(cp932::decode(title));
}

}  // namespace titles
