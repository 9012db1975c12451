#pragma once

#include <QString>

#include <string>
#include <string_view>

// The settings file: INI text read and written one value per call, nothing cached, in the
// private-profile manner (section and key names match without regard to case; unknown sections,
// keys and comments are kept). A bare file name such as "ROTOR.INI" lives in
// $XDG_CONFIG_HOME/cd-tunewick32/ (default ~/.config/cd-tunewick32/). Each write replaces the
// file atomically. UI thread only.
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
