#include "app/SettingsFile.h"

#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

// Only the narrow-character parser is used: names compare without regard to ASCII case, and the
// bytes of values are kept as they are.
#define SI_NO_CONVERSION
// The Debian header holds the template bodies only when asked for them.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>

namespace {

// A settings file holds a few hundred bytes. Anything far larger is not parsed (parsing it could
// take the whole memory): reads then give the defaults and writes are refused, so that the file is
// never replaced by what little a partial parse would keep.
constexpr qint64 kMaxSettingsBytes = 16 * 1024 * 1024;
constexpr std::size_t kMaxTextLength = 1023;

// Appended to the text before parsing so that comments after the last key attach to it (SimpleIni
// keeps only comments that stand before a section or key). Its header line is removed again on save.
constexpr char kTailSection[] = "\x01tunewick-tail\x01";

// Put before a line that the parser would skip (a "[" without "]", a line without "=", an empty
// key), turning it into a comment so that a save keeps it; removed again on save.
constexpr char kKeptLine[] = ";\x01tunewick-kept\x01";

enum class LoadResult { Missing, Loaded, Failed };

QString settingsFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/cd-tunewick32");
}

void configure(CSimpleIniA &ini) {
    ini.SetMultiKey(false);
    ini.SetMultiLine(false);
    ini.SetQuotes(false);
    ini.SetSpaces(false);
    ini.SetAllowKeyOnly(false);
}

bool parsedAsEntry(std::string_view line) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) return true;
    line.remove_prefix(start);
    // A line that already starts with the mark gets a second one, so that it comes back whole.
    if (line.starts_with(kKeptLine)) return false;
    if (line.front() == ';' || line.front() == '#') return true;
    if (line.front() == '[') {
        // A section of the name used for the tail would merge with it and vanish on save.
        std::string_view name = line.substr(1);
        name.remove_prefix(std::min(name.size(), name.find_first_not_of(" \t")));
        return line.find(']') != std::string_view::npos && !name.starts_with(kTailSection);
    }
    return line.front() != '=' && line.find('=') != std::string_view::npos;
}

// Marks the lines the parser would drop, so that they survive a save as they were. Lines end at CR
// or LF, as the parser sees them.
QByteArray withSkippedLinesKept(const QByteArray &data) {
    QByteArray out;
    out.reserve(data.size());
    const std::string_view text(data.constData(), static_cast<std::size_t>(data.size()));
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        if (!parsedAsEntry(line)) out.append(kKeptLine);
        out.append(line.data(), static_cast<qsizetype>(line.size()));
        if (end < text.size()) out.append(text[end]);
        at = end + 1;
    }
    return out;
}

LoadResult loadSettings(const QString &path, CSimpleIniA &ini) {
    QFileInfo info(path);
    if (!info.exists()) return LoadResult::Missing;
    QFile file(path);
    if (!info.isFile() || info.size() > kMaxSettingsBytes || !file.open(QIODevice::ReadOnly))
        return LoadResult::Failed;
    QByteArray data = file.read(kMaxSettingsBytes + 1);
    if (file.error() != QFileDevice::NoError || data.size() > kMaxSettingsBytes) return LoadResult::Failed;
    // SimpleIni stops at a NUL byte; as a blank it keeps whatever follows it.
    data.replace('\0', ' ');
    data = withSkippedLinesKept(data);
    data.append("\n[").append(kTailSection).append("]\n");
    try {
        if (ini.LoadData(data.constData(), static_cast<std::size_t>(data.size())) < 0) return LoadResult::Failed;
    } catch (const std::bad_alloc &) {
        return LoadResult::Failed;
    }
    return LoadResult::Loaded;
}

// Text the INI syntax cannot hold as given: a line break would let a value start new keys or
// sections, and a few characters change what a name means.
bool storable(std::string_view section, std::string_view key, std::string_view text) {
    auto breaksLine = [](std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; };
    if (breaksLine(section) || breaksLine(key) || breaksLine(text)) return false;
    if (section.empty() || section.find(']') != section.npos || section == kTailSection) return false;
    if (key.empty() || key.find('=') != key.npos || std::string_view("[;#").find(key.front()) != std::string_view::npos)
        return false;
    return true;
}

std::string asSaved(std::string text) {
    // The tail's header stands at the start of a line; a line of the user's that holds the same
    // text has been marked as a comment and does not.
    const std::string header = std::string("[") + kTailSection + "]\n";
    std::size_t at = text.starts_with(header) ? 0 : text.find("\n" + header);
    if (at != std::string::npos) text.erase(at == 0 && text.starts_with(header) ? 0 : at + 1, header.size());
    while (text.size() >= 2 && text.ends_with("\n\n")) text.pop_back();
    const std::string_view kept(kKeptLine);
    for (std::size_t line = 0; line < text.size();) {
        if (text.compare(line, kept.size(), kept) == 0) text.erase(line, kept.size());
        line = text.find('\n', line);
        if (line != std::string::npos) ++line;
    }
    return text;
}

// QSaveFile links its unnamed file as "<name>.XXXXXX" (six letters and digits) just before it
// renames it over the target; a process killed in between leaves that file behind. Only one copy of
// the program runs, so such a file is a leftover and goes before the next save.
void removeInterruptedSaves(const QString &path) {
    const QFileInfo target(path);
    QDir folder = target.absoluteDir();
    const QString prefix = target.fileName() + QLatin1Char('.');
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.size() != prefix.size() + 6 || !name.startsWith(prefix)) continue;
        const QString suffix = name.mid(prefix.size());
        if (std::all_of(suffix.begin(), suffix.end(), [](QChar c) { return c.unicode() < 128 && c.isLetterOrNumber(); })
            && !QFileInfo(folder.filePath(name)).isSymLink())
            folder.remove(name);
    }
}

bool saveAtomically(const QString &path, const std::string &text) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    removeInterruptedSaves(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    // A write smaller than the file's buffer only fills the buffer; on a full disk it fails when
    // the buffer goes out, and commit() then still replaces the file (with an empty one). So the
    // buffer is flushed and the data synced here, where a failure can still cancel the save.
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.flush() || ::fsync(file.handle()) != 0) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
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

SettingsFile::SettingsFile(const QString &fileName)
    : m_fileName(fileName),
      m_path(fileName.contains(QLatin1Char('/')) ? fileName : settingsFolder() + QLatin1Char('/') + fileName) {}

std::string SettingsFile::ReadText(std::string_view section, std::string_view key, std::string_view defaultText) const {
    CSimpleIniA ini;
    configure(ini);
    if (loadSettings(m_path, ini) != LoadResult::Loaded) return truncated(defaultText);
    const std::string sectionName(section), keyName(key);
    const char *value = ini.GetValue(sectionName.c_str(), keyName.c_str(), nullptr);
    return truncated(value ? std::string_view(value) : defaultText);
}

void SettingsFile::WriteText(std::string_view section, std::string_view key, std::string_view text) {
    const std::string message = QFileInfo(m_path).fileName().toStdString() + " に書き込めません";
    if (!storable(section, key, text)) throw EIniFileException(message);

    CSimpleIniA ini;
    configure(ini);
    if (loadSettings(m_path, ini) == LoadResult::Failed) throw EIniFileException(message);
    const std::string sectionName(section), keyName(key), value(text);
    std::string output;
    try {
        if (ini.SetValue(sectionName.c_str(), keyName.c_str(), value.c_str()) < 0) throw EIniFileException(message);
        if (ini.Save(output, ini.IsUnicode()) < 0) throw EIniFileException(message);
    } catch (const std::bad_alloc &) {
        throw EIniFileException(message);
    }
    if (!saveAtomically(m_path, asSaved(std::move(output)))) throw EIniFileException(message);
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
