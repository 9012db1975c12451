#include "ui/DoubleByte.h"

#include "platform/Cp932.h"
#include "platform/TitleEncoding.h"

#include <optional>
#include <stdexcept>

namespace {
constexpr int kWindow = 28;
bool lead(const std::string &s, int i) { return cp932::isLeadByte(static_cast<unsigned char>(s[i - 1])); }

// Characters that a Japanese font draws at full width: Hangul Jamo, the CJK blocks with Kana and
// Hangul syllables, compatibility ideographs and forms, full-width forms, the supplementary ideographs.
bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Stand-ins of the layout: a narrow character other than ASCII, and a wide one (a double-byte
// character of code page 932).
constexpr char kNarrow = '_';
constexpr const char *kWide = "\x81\x40";
}  // namespace

TitleColumns::TitleColumns(const std::string &title) : m_utf8(titles::isUtf8(title)) {
    if (!m_utf8) {
        m_layout = title;
        return;
    }
    const QString text = titles::decode(title);
    for (qsizetype at = 0; at < text.size();) {
        const bool pair = text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
        const char32_t character = pair ? QChar::surrogateToUcs4(text[at], text[at + 1]) : text[at].unicode();
        append(character, titles::utf8Of(text.mid(at, pair ? 2 : 1)));
        at += pair ? 2 : 1;
    }
}

// A character that code page 932 holds takes as many columns as it has bytes there (Cyrillic and
// Greek are double-byte, as the Japanese face draws them); any other by its East Asian width.
void TitleColumns::append(char32_t character, std::string utf8) {
    const std::optional<std::string> bytes = cp932::encode(QString::fromStdString(utf8));
    const bool wide = bytes ? bytes->size() == 2 : isWide(character);
    m_characters.push_back(std::move(utf8));
    if (wide) {
        m_layout += kWide;
        m_characters.emplace_back();
    } else {
        m_layout += character < 0x80 ? static_cast<char>(character) : kNarrow;
    }
}

std::string TitleColumns::shown(std::size_t from, std::size_t count) const {
    if (!m_utf8) return m_layout.substr(from, count);
    std::string text(titles::kUtf8Mark);
    for (std::size_t column = from; column < from + count && column < m_characters.size(); ++column)
        text += m_characters[column];
    return text;
}

TitleColumns TitleColumns::scrolled() const {
    TitleColumns both;
    both.m_utf8 = m_utf8;
    both.m_layout = m_layout + " >> " + m_layout;
    if (m_utf8) {
        both.m_characters = m_characters;
        for (char c : std::string(" >> ")) both.m_characters.emplace_back(1, c);
        both.m_characters.insert(both.m_characters.end(), m_characters.begin(), m_characters.end());
    }
    return both;
}

bool IsTrailByte(const std::string &s, int i) {
    if (i < 1 || i > static_cast<int>(s.size())) throw std::out_of_range("Illegal Index");
    if (i == 1) return false;
    int k = 0;
    for (int j = i - 1; j >= 1 && lead(s, j); --j) ++k;
    return k % 2 == 1;
}

std::string CopyChars(const std::string &s, int index, int count) {
    std::string out;
    int number = 0;
    for (size_t at = 0; at < s.size();) {
        size_t width = cp932::isLeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size() ? 2 : 1;
        ++number;
        if (number >= index + count) break;
        if (number >= index) out.append(s, at, width);
        at += width;
    }
    return out;
}

std::string titleHead(const std::string &s) {
    const TitleColumns title(s);
    const std::string &columns = title.layout();
    if (columns.size() < kWindow + 1) return s;
    return title.shown(0, IsTrailByte(columns, kWindow + 1) ? kWindow - 1 : kWindow);
}

bool beginsWithStopMark(const std::string &shown) {
    if (titles::isUtf8(shown)) return shown.substr(titles::kUtf8Mark.size(), 2) == ">>";
    return CopyChars(shown, 1, 2).substr(0, 2) == ">>";
}

std::vector<std::string> marqueeWindows(const std::string &s) {
    std::vector<std::string> shown;
    const TitleColumns title(s);
    if (title.layout().size() < kWindow) return shown;
    const TitleColumns scroll = title.scrolled();
    const std::string &t = scroll.layout();
    std::string line = titleHead(s);
    for (int p = 1;; ++p) {
        if (!IsTrailByte(t, p)) {
            line = scroll.shown(static_cast<size_t>(p - 1), IsTrailByte(t, p + kWindow) ? kWindow - 1 : kWindow);
            shown.push_back(line);
        }
        if (beginsWithStopMark(line)) break;
    }
    return shown;
}
