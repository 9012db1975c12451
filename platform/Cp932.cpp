#include "platform/Cp932.h"

#include <iconv.h>

#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
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

// The code point of each character code (one byte, or lead << 8 | trail) that iconv decodes to a
// character that it can encode again, to these bytes or (for a second code of the same character)
// to others; 0xFFFFFFFF where it does not. A row (the single bytes, or one lead byte's codes) is
// made and filled the first time a text needs it: filling all 60 rows takes milliseconds and a
// quarter of a megabyte, and a title seldom touches more than a few.
class DecodeTable {
public:
    // The row of `lead` (0 for the single bytes), filled.
    const char32_t *row(unsigned char lead) {
        if (!m_ready[lead].load(std::memory_order_acquire)) {
            std::lock_guard lock(m_mutex);
            if (!m_ready[lead].load(std::memory_order_relaxed)) {
                fill(lead);
                m_ready[lead].store(true, std::memory_order_release);
            }
        }
        return m_rows[lead]->data();
    }

private:
    using Row = std::array<char32_t, 256>;

    void fill(unsigned char lead) {
        auto codes = std::make_unique<Row>();
        codes->fill(0xFFFFFFFF);
        for (int second = 0; second < 256; ++second) {
            std::string bytes = lead ? std::string{static_cast<char>(lead), static_cast<char>(second)}
                                     : std::string(1, static_cast<char>(second));
            if (!lead && isLeadByte(static_cast<unsigned char>(second))) continue;
            std::string utf32, back;
            if (!m_toUnicode.convert(bytes, utf32) || utf32.size() != 4) continue;
            if (!m_fromUnicode.convert(utf32, back)) continue;
            char32_t cp = 0;
            std::memcpy(&cp, utf32.data(), 4);
            (*codes)[static_cast<size_t>(second)] = cp;
        }
        m_rows[lead] = std::move(codes);
    }

    std::mutex m_mutex;
    Iconv m_toUnicode{"UTF-32LE", "CP932"};
    Iconv m_fromUnicode{"CP932", "UTF-32LE"};
    std::array<std::atomic<bool>, 256> m_ready{};
    std::array<std::unique_ptr<Row>, 256> m_rows; // set before its m_ready, never changed after
};

DecodeTable &decodeTable() {
    static DecodeTable table;
    return table;
}

void appendCodePoint(QString &out, char32_t cp) {
    if (cp > 0xFFFF) {
        out += QChar(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        out += QChar(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
        out += QChar(static_cast<char16_t>(cp));
    }
}

// The character that one code of code page 932 (one byte, or lead and trail) decodes to, or
// 0xFFFFFFFF.
char32_t decodeOne(std::string_view code) {
    const auto first = static_cast<unsigned char>(code[0]);
    if (code.size() == 1) return first < 0x80 ? first : decodeTable().row(0)[first];
    return decodeTable().row(first)[static_cast<unsigned char>(code[1])];
}

std::optional<std::string> iconvEncode(char32_t cp) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    static Iconv fromUnicode("CP932", "UTF-32LE");
    std::string utf32(4, '\0');
    std::memcpy(utf32.data(), &cp, 4);
    std::string out;
    if (!fromUnicode.convert(utf32, out) || out.empty() || out.size() > 2) return std::nullopt;
    return out;
}

// Bytes for one code point, or nothing: the code that iconv gives the character, also for a
// character with a second code. A look-alike that iconv substitutes (¥ as \, 〜 as ～, — as ―,
// ¬ as ￢) is no fit: its code decodes to another character, and the title would change.
std::optional<std::string> encodeOne(char32_t cp) {
    if (cp < 0x80) return std::string(1, static_cast<char>(cp));
    if (cp >= 0xD800 && cp <= 0xDFFF) return std::nullopt;
    std::optional<std::string> out = iconvEncode(cp);
    if (out && decodeOne(*out) != cp) return std::nullopt;
    return out;
}

}  // namespace

bool isLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

QString decode(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        // Code page 932 keeps the 128 ASCII codes as they are: most captions need no table.
        if (b < 0x80) {
            out += QChar(static_cast<char16_t>(b));
            ++i;
            continue;
        }
        if (isLeadByte(b) && i + 1 < bytes.size()) {
            char32_t cp = decodeTable().row(b)[static_cast<unsigned char>(bytes[i + 1])];
            if (cp != 0xFFFFFFFF) {
                appendCodePoint(out, cp);
                i += 2;
                continue;
            }
        } else if (!isLeadByte(b)) {
            char32_t cp = decodeTable().row(0)[b];
            if (cp != 0xFFFFFFFF) {
                appendCodePoint(out, cp);
                ++i;
                continue;
            }
        }
        out += QChar(static_cast<char16_t>(kEscapeBase + b));
        ++i;
    }
    return out;
}

namespace {

// Walks `text` by code point; returns the bytes, or nothing with the index of the first character
// that code page 932 cannot hold in `failedAt`.
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

// A byte that forms no character, written as it is, may join the next byte into one: such a text
// has no bytes that give it back.
std::optional<std::string> encode(const QString &text) {
    std::optional<std::string> bytes = encodeOrFail(text, nullptr);
    if (bytes && decode(*bytes) != text) return std::nullopt;
    return bytes;
}

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
