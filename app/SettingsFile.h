#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

// The settings file: INI text read and written one value per call, nothing cached, in the
// private-profile manner. A write edits the file in place: it replaces the value part of the key's
// line, or inserts one key line, or appends the section with its key; every other byte stays as it
// was. A bare file name such as "ROTOR.INI" lives in $XDG_CONFIG_HOME/cd-tunewick32/ (default
// ~/.config/cd-tunewick32/). Each write replaces the file atomically. UI thread only.
class SettingsFile {
public:
    explicit SettingsFile(const QString &fileName);

    // The stored text, or `defaultText` when the file, section or key is missing. At most 1023
    // characters.
    std::string ReadText(std::string_view section, std::string_view key, std::string_view defaultText) const;
    // Stores `text`, creating the file, section or key. Raises EIniFileException
    // ("<file name> に書き込めません") when the file cannot be written; the file is then unchanged.
    void WriteText(std::string_view section, std::string_view key, std::string_view text);
    int ReadNumber(std::string_view section, std::string_view key, int defaultValue) const;
    void WriteNumber(std::string_view section, std::string_view key, int value);
    bool ReadFlag(std::string_view section, std::string_view key, bool defaultValue) const;
    void WriteFlag(std::string_view section, std::string_view key, bool value);

    const QString &path() const { return m_path; }

private:
    QString m_fileName;
    QString m_path;
};

// The number rules of ReadNumber: decimal with optional blanks and sign in the signed 32-bit range;
// "0x"/"0X" followed by 1 to 8 hex digits, or "$" (after blanks) followed by 1 to 8 hex digits,
// taken as 32 bits two's complement; anything else, or empty text, gives `defaultValue`.
int parseSettingsNumber(std::string_view text, int defaultValue);

// The INI rules that reads and writes share, on the file's bytes. A line "[name]" opens a section,
// "name=value" under it holds a key; names match without regard to ASCII case, and blanks around
// names and values do not count. A section written twice counts as one; of a key written twice,
// the first counts. Lines end at LF, CR LF or CR.
// The value of the key, or nothing when it is missing.
std::optional<std::string_view> iniValue(std::string_view text, std::string_view section, std::string_view key);
// `text` with the key set to `value`: the value part of the key's line replaced, or "key=value"
// inserted after the section's last key line, or "[section]" and the key appended at the end, in
// the file's own line ends. The names and value must suit the syntax (no line break, a section
// without "]", a key without "=").
std::string withIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value);
