// The settings file under arbitrary contents.
//
// Input: the file's bytes. The number rules see the same bytes as a value. The file is then read
// for every section and key name that appears in it, one value is written, and every name is read
// again: each must give what it gave before, and every comment line must still be in the file.
#include "app/SettingsFile.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Errors.h"

#include <QDir>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kMaxInput = 4096;
constexpr std::size_t kMaxKeysChecked = 64;
constexpr char kMissing[] = "\x02missing\x02";
constexpr std::string_view kInternalTail = "\x01tunewick-tail\x01";

struct Names {
    std::vector<std::pair<std::string, std::string>> keys;  // section, key
    std::vector<std::string> comments;
    std::vector<std::string> sections;  // lower case, in order
};

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\0'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find_first_of("\r\n");
        lines.push_back(text.substr(0, end));
        if (end == text.npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Every "[section]" and "key=" the text shows, whatever the parser makes of them (a name it did
// not take simply reads as missing both times), and every other line: comments and lines that are
// neither, which a save must keep.
Names namesIn(std::string_view text) {
    Names names;
    std::string section;
    for (std::string_view line : linesOf(text)) {
        std::string_view t = trimmed(line);
        if (t.empty()) continue;
        std::size_t close = t.front() == '[' ? t.find(']') : t.npos;
        // The reader keeps a header with the name of its own internal tail section as plain text.
        if (close != t.npos && trimmed(t.substr(1)).starts_with(kInternalTail)) close = t.npos;
        std::size_t eq = t.find('=');
        if (t.front() == ';' || t.front() == '#') {
            names.comments.emplace_back(t);
        } else if (close != t.npos) {
            section = std::string(trimmed(t.substr(1, close - 1)));
            std::string lower = section;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            names.sections.push_back(lower);
        } else if (t.front() != '[' && eq != t.npos && eq != 0) {
            // Keys before the first header form a section without a name, as "[]" does.
            if (names.sections.empty() && section.empty()) names.sections.emplace_back();
            if (names.keys.size() < kMaxKeysChecked)
                names.keys.emplace_back(section, std::string(trimmed(t.substr(0, eq))));
        } else {
            names.comments.emplace_back(t);  // a line no reader understands is kept as it was
        }
    }
    return names;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool hasDuplicates(const Names &names) {
    std::set<std::string> seen;
    std::string previousSection;
    for (const auto &[section, key] : names.keys) {
        std::string name = section + '\0' + key;
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (!seen.insert(name).second) return true;
    }
    return names.sections.size() != std::set<std::string>(names.sections.begin(), names.sections.end()).size();
}

void checkNumberRules(std::string_view text) {
    const int seven = parseSettingsNumber(text, 7);
    const int eight = parseSettingsNumber(text, 8);
    // A value that parses does not depend on the default; one that does not gives the default.
    FUZZ_CHECK(seven == eight || (seven == 7 && eight == 8));
    // Whatever a write stores as a number reads back as that number.
    int value = 0;
    std::memcpy(&value, text.data(), std::min(text.size(), sizeof value));
    FUZZ_CHECK(parseSettingsNumber(std::to_string(value), value ^ 1) == value);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    qputenv("XDG_CONFIG_HOME", fuzz::scratchFolder().toUtf8());
    QDir().mkpath(fuzz::scratchFolder() + QStringLiteral("/cd-tunewick32"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size > kMaxInput) return -1;
    const std::string_view input = fuzz::asText(data, size);
    checkNumberRules(input);

    SettingsFile file(QStringLiteral("ROTOR.INI"));
    fuzz::writeBytes(file.path(), input);
    std::string text(input);
    std::replace(text.begin(), text.end(), '\0', ' ');  // the reader takes NUL bytes as blanks
    const Names names = namesIn(text);
    std::vector<std::string> before;
    for (const auto &[section, key] : names.keys) before.push_back(file.ReadText(section, key, kMissing));

    // The value written is the input's last line, so that odd bytes reach the writer too.
    const std::string_view lines = input.substr(0, std::min<std::size_t>(input.size(), 1500));
    const std::string value(lines.substr(lines.find_last_of("\r\n") == lines.npos ? 0 : lines.find_last_of("\r\n") + 1));
    const std::string beforeWrite = fuzz::readBytes(file.path());
    bool written = true;
    try {
        file.WriteText("Tunewick", "Pos(X)", value);
    } catch (const EIniFileException &) {
        written = false;
    }
    const std::string after = fuzz::readBytes(file.path());
    if (!written) {
        FUZZ_CHECK(after == beforeWrite);
        return 0;
    }
    // As in every INI file, blanks around a value are not part of it.
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::string_view stored(value);
    while (!stored.empty() && blank(stored.front())) stored.remove_prefix(1);
    while (!stored.empty() && blank(stored.back())) stored.remove_suffix(1);
    FUZZ_CHECK(file.ReadText("Tunewick", "Pos(X)", kMissing) == stored.substr(0, 1023));
    for (std::size_t i = 0; i < names.keys.size(); ++i) {
        const auto &[section, key] = names.keys[i];
        if (sameName(section, "Tunewick") && sameName(key, "Pos(X)")) continue;
        FUZZ_CHECK(file.ReadText(section, key, kMissing) == before[i]);
    }
    // The reader merges sections and keys that appear twice; the comments attached to the second
    // copy go with it. Only files without such copies are held to keeping every line.
    if (hasDuplicates(names)) return 0;
    const std::vector<std::string_view> afterLines = linesOf(after);
    for (const std::string &comment : names.comments) {
        const bool kept = std::any_of(afterLines.begin(), afterLines.end(),
                                      [&](std::string_view line) { return trimmed(line) == comment; });
        FUZZ_CHECK(kept);
    }
    return 0;
}
