#include "platform/Cp932.h"

#include <iconv.h>

#include <array>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace cp932 {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

class Iconv {
public:
    Iconv(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~Iconv() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;

    // Converts `in` whole; false when any of it does not convert.
    bool convert(const std::string &in, std::string &out) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) return false;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::vector<char> src(in.begin(), in.end());
        char buffer[64];
        char *inPtr = src.data();
        size_t inLeft = src.size();
        char *outPtr = buffer;
        size_t outLeft = sizeof buffer;
        if (iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return false;
        out.assign(buffer, sizeof buffer - outLeft);
        return inLeft == 0;
    }

private:
    iconv_t m_cd;
};

// Code point of each character code (one byte, or lead << 8 | trail) that survives a round trip
// through iconv; 0xFFFFFFFF where it does not.
struct Tables {
    std::vector<char32_t> decode = std::vector<char32_t>(65536, 0xFFFFFFFF);
    std::unordered_map<char32_t, uint16_t> encode;
};

char32_t utf32At(const std::string &utf32le) {
    char32_t cp = 0;
    std::memcpy(&cp, utf32le.data(), 4);
    return cp;
}

void addCode(Tables &t, Iconv &toUnicode, Iconv &fromUnicode, uint16_t code, const std::string &bytes) {
    std::string utf32;
    if (!toUnicode.convert(bytes, utf32) || utf32.size() != 4) return;
    std::string back;
    if (!fromUnicode.convert(utf32, back) || back != bytes) return;
    char32_t cp = utf32At(utf32);
    t.decode[code] = cp;
    t.encode.emplace(cp, code);
}

const Tables &tables() {
    static Tables t;
    static std::once_flag once;
    std::call_once(once, [] {
        Iconv toUnicode("UTF-32LE", "CP932");
        Iconv fromUnicode("CP932", "UTF-32LE");
        for (int b = 0; b < 256; ++b)
            if (!isLeadByte(static_cast<unsigned char>(b)))
                addCode(t, toUnicode, fromUnicode, static_cast<uint16_t>(b), std::string(1, static_cast<char>(b)));
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(static_cast<unsigned char>(lead))) continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
                addCode(t, toUnicode, fromUnicode, static_cast<uint16_t>(lead << 8 | trail), bytes);
            }
        }
    });
    return t;
}

void appendCodePoint(QString &out, char32_t cp) {
    if (cp > 0xFFFF) {
        out += QChar(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        out += QChar(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
        out += QChar(static_cast<char16_t>(cp));
    }
}

// Bytes for one code point, or nothing. Falls back to iconv for characters that have no
// round-trip code but that iconv maps (for example a second Unicode form of the same character).
std::optional<std::string> encodeOne(char32_t cp) {
    const Tables &t = tables();
    if (auto it = t.encode.find(cp); it != t.encode.end()) {
        uint16_t code = it->second;
        if (code > 0xFF) return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        return std::string(1, static_cast<char>(code));
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) return std::nullopt;
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    static Iconv fromUnicode("CP932", "UTF-32LE");
    std::string utf32(4, '\0');
    std::memcpy(utf32.data(), &cp, 4);
    std::string out;
    if (!fromUnicode.convert(utf32, out) || out.empty()) return std::nullopt;
    return out;
}

}  // namespace

bool isLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

QString decode(std::string_view bytes) {
    const Tables &t = tables();
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(b) && i + 1 < bytes.size()) {
            auto code = static_cast<uint16_t>(b << 8 | static_cast<unsigned char>(bytes[i + 1]));
            if (t.decode[code] != 0xFFFFFFFF) {
                appendCodePoint(out, t.decode[code]);
                i += 2;
                continue;
            }
        } else if (!isLeadByte(b) && t.decode[b] != 0xFFFFFFFF) {
            appendCodePoint(out, t.decode[b]);
            ++i;
            continue;
        }
        out += QChar(static_cast<char16_t>(kEscapeBase + b));
        ++i;
    }
    return out;
}

namespace {

// Walks `text` by code point; returns the bytes, or the index of the first unencodable character.
std::optional<std::string> encodeOrFail(const QString &text, int *failedAt) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t u = text[i].unicode();
        char32_t cp = u;
        qsizetype start = i;
        if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u - kEscapeBase);
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(u, text[i + 1].unicode());
            ++i;
        }
        std::optional<std::string> bytes = encodeOne(cp);
        if (!bytes) {
            if (failedAt) *failedAt = static_cast<int>(start);
            return std::nullopt;
        }
        out += *bytes;
    }
    return out;
}

}  // namespace

std::optional<std::string> encode(const QString &text) { return encodeOrFail(text, nullptr); }

int firstUnencodable(const QString &text) {
    int at = -1;
    encodeOrFail(text, &at);
    return at;
}

std::string fromUtf8(std::string_view utf8) {
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    std::string out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        std::optional<std::string> bytes = encode(QString(text[i]));
        out += bytes ? *bytes : std::string("?");
    }
    return out;
}

}  // namespace cp932
