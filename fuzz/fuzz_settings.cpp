// The settings file under arbitrary contents.
//
// Input: the file's bytes. The number rules see the same bytes as a value. Every key the file
// shows is read, one value is written, and then the value reads back, every other key reads as
// before, and the file equals the old one with exactly one line changed (its value part only), one
// line inserted, or one section with its key appended at the end. Every other byte is as it was.
#include "app/SettingsFile.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Errors.h"

#include <QDir>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kMaxInput = 4096;
constexpr std::size_t kMaxKeysChecked = 64;
constexpr char kMissing[] = "\x02missing\x02";
constexpr std::string_view kBlanks(" \t\0", 3);

// The names written, chosen by the input's length: plain, and with another case and blanks.
constexpr std::pair<std::string_view, std::string_view> kWrittenNames[] = {
    {"Tunewick", "Pos(X)"}, {"tunewick ", " POS(x)"}, {"LCD", "Delay"}};

std::string_view trimmed(std::string_view s) {
    const std::size_t first = s.find_first_not_of(kBlanks);
    if (first == s.npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// A line's bytes and its line end (LF, CR LF, a lone CR, or none at the end of the file).
struct Line {
    std::string_view text, end;
};

std::vector<Line> linesOf(std::string_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        if (end == text.npos) {
            lines.push_back({text, {}});
            break;
        }
        const std::size_t next = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        lines.push_back({text.substr(0, end), text.substr(end, next - end)});
        text.remove_prefix(next);
    }
    return lines;
}

// The file's first line end, LF when it has none.
std::string_view lineEndOf(std::string_view text) {
    const std::size_t at = text.find_first_of("\r\n");
    return at == text.npos ? "\n" : linesOf(text.substr(at)).front().end;
}

std::string joined(const std::vector<Line> &lines) {
    std::string out;
    for (const Line &line : lines) out.append(line.text).append(line.end);
    return out;
}

// Every "key=" under a "[section]" the text shows, whatever the reader makes of them: a name it
// does not take reads as missing both times.
std::vector<std::pair<std::string, std::string>> keysIn(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> keys;
    std::string section;
    for (const Line &line : linesOf(text)) {
        const std::string_view t = trimmed(line.text);
        const std::size_t close = t.starts_with('[') ? t.find(']') : t.npos;
        const std::size_t equals = t.find('=');
        if (close != t.npos) section = std::string(trimmed(t.substr(1, close - 1)));
        else if (equals != t.npos && equals != 0 && keys.size() < kMaxKeysChecked)
            keys.emplace_back(section, std::string(trimmed(t.substr(0, equals))));
    }
    return keys;
}

// The old line with its value part (after "=" and the blanks behind it, up to the trailing
// blanks) replaced by `value`.
std::string withValue(std::string_view line, std::string_view value) {
    const std::size_t equals = line.find('=');
    FUZZ_CHECK(equals != line.npos);
    const std::size_t begin = std::min(line.size(), line.find_first_not_of(kBlanks, equals + 1));
    const std::size_t end = std::max(begin, line.find_last_not_of(kBlanks) + 1);
    return std::string(line.substr(0, begin)).append(value).append(line.substr(end));
}

// Whether `after` is `before` with exactly one line changed in its value part, one key line
// inserted at a line boundary, or the section and key appended. New lines take the line end of the
// line before them; after a last line without one, the file's first line end goes in front of them.
bool isOneLineEdit(std::string_view before, std::string_view after, std::string_view section,
                   std::string_view keyLine) {
    const std::vector<Line> old = linesOf(before), now = linesOf(after);
    std::size_t first = 0;
    while (first < std::min(old.size(), now.size()) && old[first].text == now[first].text) ++first;
    const auto withLines = [&](std::size_t at, std::vector<std::string_view> added) {
        std::vector<Line> lines(old.begin(), old.end());
        const bool open = at == lines.size() && !lines.empty() && lines.back().end.empty();
        const std::string_view eol = at > 0 && !open ? old[at - 1].end : lineEndOf(before);
        if (open) lines.back().end = eol;
        std::vector<Line> newLines;
        for (std::string_view text : added) newLines.push_back({text, eol});
        if (open) newLines.back().end = {};
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), newLines.begin(), newLines.end());
        return joined(lines);
    };
    if (now.size() == old.size()) {
        if (first == old.size()) return after == before;
        std::vector<Line> lines(old.begin(), old.end());
        const std::string changed = withValue(old[first].text, keyLine.substr(keyLine.find('=') + 1));
        lines[first].text = changed;
        return joined(lines) == after;
    }
    if (now.size() == old.size() + 1) {
        // An inserted line equal to the lines after it could stand in the place of any of them.
        for (std::size_t at = first;; ++at) {
            if (withLines(at, {keyLine}) == after) return true;
            if (at == old.size() || old[at].text != keyLine) return false;
        }
    }
    const std::string header = "[" + std::string(section) + "]";
    return now.size() == old.size() + 2 && withLines(old.size(), {header, keyLine}) == after;
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
    const auto keys = keysIn(input);
    std::vector<std::string> before;
    for (const auto &[section, key] : keys) before.push_back(file.ReadText(section, key, kMissing));

    // The value written is the input's last line, so that odd bytes reach the writer too.
    const auto [section, key] = kWrittenNames[size % std::size(kWrittenNames)];
    const std::string_view lines = input.substr(0, std::min<std::size_t>(input.size(), 1500));
    const std::size_t lastBreak = lines.find_last_of("\r\n");
    const std::string value(lines.substr(lastBreak == lines.npos ? 0 : lastBreak + 1));
    bool written = true;
    try {
        file.WriteText(section, key, value);
    } catch (const EIniFileException &) {
        written = false;
    }
    const std::string after = fuzz::readBytes(file.path());
    if (!written) {
        FUZZ_CHECK(after == input);
        return 0;
    }
    FUZZ_CHECK(isOneLineEdit(input, after, section, std::string(key) + "=" + value));
    // As in every INI file, blanks around a value are not part of it.
    FUZZ_CHECK(file.ReadText(section, key, kMissing) == trimmed(value).substr(0, 1023));
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (sameName(keys[i].first, trimmed(section)) && sameName(keys[i].second, trimmed(key))) continue;
        FUZZ_CHECK(file.ReadText(keys[i].first, keys[i].second, kMissing) == before[i]);
    }
    return 0;
}
