#include "app/SettingsFile.h"

#include "platform/AtomicFile.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <initializer_list>
#include <cstdint>
#include <optional>

namespace {

// A settings file holds a few hundred bytes. Anything far larger is not read (the defaults apply)
// and never replaced, so that a stray large file cannot take the memory or be cut down by a save.
constexpr qint64 kMaxSettingsBytes = 16 * 1024 * 1024;
constexpr std::size_t kMaxTextLength = 1023;

// Blanks around names and values. NUL counts as one, so that a line padded with NUL bytes (as a
// crash can leave a file) still reads.
constexpr std::string_view kBlanks(" \t\0", 3);
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

enum class LoadResult { Missing, Loaded, Failed };

QString settingsFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/cd-tunewick32");
}

LoadResult loadSettings(const QString &path, QByteArray &data) {
    QFileInfo info(path);
    if (!info.exists()) return LoadResult::Missing;
    QFile file(path);
    if (!info.isFile() || info.size() > kMaxSettingsBytes || !file.open(QIODevice::ReadOnly))
        return LoadResult::Failed;
    // A buffer of the size the file had, one byte more to see whether it has grown since; only a
    // file that grew is read on up to the limit.
    data = file.read(info.size() + 1);
    if (data.size() > info.size()) data.append(file.read(kMaxSettingsBytes + 1 - data.size()));
    if (file.error() != QFileDevice::NoError || data.size() > kMaxSettingsBytes) return LoadResult::Failed;
    return LoadResult::Loaded;
}

std::string_view trimmed(std::string_view s) {
    const std::size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// One line of the file: its bytes are [begin, end), its line end (LF, CR LF, a lone CR, or none at
// the end of the file) is [end, next).
struct Line {
    std::size_t begin = 0, end = 0, next = 0;
};

Line lineAt(std::string_view text, std::size_t begin) {
    const std::size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string_view::npos) return {begin, text.size(), text.size()};
    std::size_t next = end + 1;
    if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    return {begin, end, next};
}

// What a line means: a section header "[name]", a key line "name=value", or nothing (a comment
// starting with ";" or "#", a blank line, or text that is neither, which is left alone).
struct Entry {
    enum Kind { None, Header, Key } kind = None;
    std::string_view name;
    std::string_view value;  // blanks around it excluded; points into the line even when empty
};

Entry entryOf(std::string_view line) {
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string_view::npos || line[first] == ';' || line[first] == '#') return {};
    if (line[first] == '[') {
        const std::size_t close = line.find(']', first);
        if (close == std::string_view::npos) return {};
        return {Entry::Header, trimmed(line.substr(first + 1, close - first - 1)), {}};
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return {};
    const std::string_view name = trimmed(line.substr(0, equals));
    if (name.empty()) return {};
    const std::size_t begin = std::min(line.size(), line.find_first_not_of(kBlanks, equals + 1));
    const std::size_t last = line.find_last_not_of(kBlanks);
    return {Entry::Key, name, line.substr(begin, last == std::string_view::npos || last < begin ? 0 : last + 1 - begin)};
}

// Where a key stands: its value on the first line that holds it under any header of its section (a
// section written twice counts as one), and the line after which it goes when it is missing: the
// last key line of the section's first copy, or that copy's header, or else the file's last line.
// Lines before the first header form the section without a name.
struct Place {
    std::optional<std::string_view> value;
    std::optional<Line> anchor;
    std::optional<Line> last;
};

Place placeOf(std::string_view text, std::string_view section, std::string_view key) {
    section = trimmed(section);
    key = trimmed(key);
    Place place;
    bool inSection = section.empty(), inFirstCopy = inSection, sectionSeen = inSection;
    for (Line line = lineAt(text, 0); line.begin < text.size(); line = lineAt(text, line.next)) {
        place.last = line;
        std::string_view content = text.substr(line.begin, line.end - line.begin);
        if (line.begin == 0 && content.starts_with(kByteOrderMark)) content.remove_prefix(kByteOrderMark.size());
        const Entry entry = entryOf(content);
        if (entry.kind == Entry::Header) {
            inSection = sameName(entry.name, section);
            inFirstCopy = inSection && !sectionSeen;
            sectionSeen = sectionSeen || inSection;
            if (inFirstCopy) place.anchor = line;
        } else if (entry.kind == Entry::Key && inSection) {
            if (inFirstCopy) place.anchor = line;
            if (sameName(entry.name, key)) {
                place.value = entry.value;
                break;
            }
        }
    }
    return place;
}

// The line end the file already uses (its first one), LF for a file without any.
std::string_view lineEndOf(std::string_view text) {
    const std::size_t at = text.find_first_of("\r\n");
    if (at == std::string_view::npos) return "\n";
    if (text[at] == '\r') return text.substr(at, at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1);
    return "\n";
}

// The text with new lines after the line `after` (at the end of an empty file when there is none).
// They take that line's line end, which cannot join the bytes that follow it (a lone CR from
// elsewhere in the file, put before an LF, would make one line end of two). After a last line
// without a line end they take the file's first one, in front, and the file still ends without one.
std::string withLinesAfter(std::string_view text, const std::optional<Line> &after,
                           std::initializer_list<std::string_view> lines) {
    const std::size_t at = after ? after->next : text.size();
    const bool open = after && after->next == after->end;
    const std::string_view eol = after && !open ? text.substr(after->end, after->next - after->end) : lineEndOf(text);
    std::string block;
    for (std::string_view line : lines) {
        if (open) block.append(eol);
        block.append(line);
        if (!open) block.append(eol);
    }
    return std::string(text.substr(0, at)).append(block).append(text.substr(at));
}

// Text the INI syntax cannot hold as given: a line break would let a value start new keys or
// sections, and a few characters change what a name means.
bool storable(std::string_view section, std::string_view key, std::string_view text) {
    auto breaksLine = [](std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; };
    if (breaksLine(section) || breaksLine(key) || breaksLine(text)) return false;
    section = trimmed(section);
    key = trimmed(key);
    if (section.empty() || section.find(']') != section.npos) return false;
    if (key.empty() || key.find('=') != key.npos || std::string_view("[;#").find(key.front()) != std::string_view::npos)
        return false;
    return true;
}

std::string truncated(std::string_view text) {
    return std::string(text.substr(0, kMaxTextLength));
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// 1 to 8 hex digits and nothing else, taken as 32 bits two's complement.
std::optional<int> parseHex(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        if (!isHexDigit(c)) return std::nullopt;
        value = (value << 4) | static_cast<uint32_t>(hexValue(c));
    }
    return static_cast<int>(value);
}

// Optional sign, then decimal digits to the end, within the signed 32-bit range.
std::optional<int> parseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int64_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > int64_t{1} << 31) return std::nullopt;
    }
    int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

int parseSettingsNumber(std::string_view text, int defaultValue) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return parseHex(text.substr(2)).value_or(defaultValue);
    std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) return defaultValue;
    text.remove_prefix(start);
    if (text.front() == '$') return parseHex(text.substr(1)).value_or(defaultValue);
    return parseDecimal(text).value_or(defaultValue);
}

std::optional<std::string_view> iniValue(std::string_view text, std::string_view section, std::string_view key) {
    return placeOf(text, section, key).value;
}

std::string withIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value) {
    const Place place = placeOf(text, section, key);
    if (place.value) {
        const auto at = static_cast<std::size_t>(place.value->data() - text.data());
        return std::string(text).replace(at, place.value->size(), value);
    }
    const std::string keyLine = std::string(key) + '=' + std::string(value);
    if (place.anchor) return withLinesAfter(text, place.anchor, {keyLine});
    return withLinesAfter(text, place.last, {'[' + std::string(section) + ']', keyLine});
}

SettingsFile::SettingsFile(const QString &fileName)
    : m_fileName(fileName),
      m_path(fileName.contains(QLatin1Char('/')) ? fileName : settingsFolder() + QLatin1Char('/') + fileName) {}

std::string SettingsFile::ReadText(std::string_view section, std::string_view key, std::string_view defaultText) const {
    QByteArray data;
    if (loadSettings(m_path, data) != LoadResult::Loaded) return truncated(defaultText);
    const auto value = iniValue(std::string_view(data.constData(), static_cast<std::size_t>(data.size())), section, key);
    return truncated(value.value_or(defaultText));
}

void SettingsFile::WriteText(std::string_view section, std::string_view key, std::string_view text) {
    const std::string message = QFileInfo(m_path).fileName().toStdString() + " に書き込めません";
    if (!storable(section, key, text)) throw EIniFileException(message);
    QByteArray data;
    if (loadSettings(m_path, data) == LoadResult::Failed) throw EIniFileException(message);
    const std::string_view old(data.constData(), static_cast<std::size_t>(data.size()));
    if (platform::replaceFileAtomically(m_path, withIniValue(old, section, key, text))) throw EIniFileException(message);
}

int SettingsFile::ReadNumber(std::string_view section, std::string_view key, int defaultValue) const {
    return parseSettingsNumber(ReadText(section, key, {}), defaultValue);
}

void SettingsFile::WriteNumber(std::string_view section, std::string_view key, int value) {
    WriteText(section, key, std::to_string(value));
}

bool SettingsFile::ReadFlag(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadNumber(section, key, defaultValue ? 1 : 0) != 0;
}

void SettingsFile::WriteFlag(std::string_view section, std::string_view key, bool value) {
    WriteText(section, key, value ? "1" : "0");
}
