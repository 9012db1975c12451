#include "platform/backends/TocNames.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kLargestToc = 1 << 20; // a sheet of 99 tracks with CD-Text is a few kB

bool isWordByte(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The end of the quoted string that starts at `open` (its closing quote), or npos.
size_t closingQuote(const std::string &text, size_t open) {
    for (size_t at = open + 1; at < text.size(); ++at) {
        if (text[at] == '\\')
            ++at;
        else if (text[at] == '"')
            return at;
    }
    return std::string::npos;
}

bool isFileKeyword(const std::string &word) {
    return word == "FILE" || word == "AUDIOFILE" || word == "DATAFILE";
}

std::string readSmallFile(const std::string &path, bool &ok) {
    std::error_code error;
    ok = fs::is_regular_file(path, error) && fs::file_size(path, error) <= kLargestToc && !error;
    if (!ok) return {};
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ok = !in.bad();
    return bytes;
}

struct TocToken {
    std::string text; // a string's bytes as written, escapes kept
    bool quoted = false;
};

// The words, numbers, times and strings of a .toc, in order; comments and punctuation left out.
std::vector<TocToken> tocTokens(const std::string &toc) {
    const auto inToken = [](char c) { return isWordByte(c) || c == ':' || c == '#'; };
    std::vector<TocToken> tokens;
    size_t at = 0;
    while (at < toc.size()) {
        if (toc.compare(at, 2, "//") == 0) {
            at = std::min(toc.find('\n', at), toc.size());
        } else if (toc[at] == '"') {
            const size_t close = std::min(closingQuote(toc, at), toc.size());
            tokens.push_back({toc.substr(at + 1, close - at - 1), true});
            at = std::min(close, toc.size() - 1) + 1;
        } else if (inToken(toc[at])) {
            size_t end = at;
            while (end < toc.size() && inToken(toc[end]))
                ++end;
            tokens.push_back({toc.substr(at, end - at), false});
            at = end;
        } else {
            ++at;
        }
    }
    return tokens;
}

// A position or length in a FILE statement in sectors: a time "m:s:f" or a count of samples.
std::optional<int> sectorsOf(const TocToken &token) {
    int m = 0, s = 0, f = 0, used = 0;
    if (std::sscanf(token.text.c_str(), "%4d:%2d:%2d%n", &m, &s, &f, &used) == 3 &&
        used == static_cast<int>(token.text.size()))
        return (m * 60 + s) * 75 + f;
    const std::string &digits = token.text;
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const int samples = std::stoi(digits);
    if (samples % 588 != 0) return std::nullopt;
    return samples / 588;
}

// A relative name found in the sheet's folder, else in the current one, else the sheet's folder's.
std::string absoluteName(const fs::path &sheetFolder, const std::string &name) {
    if (name.empty() || name[0] == '/' || name == "-") return name;
    std::error_code error;
    const fs::path besideSheet = sheetFolder / name;
    if (fs::exists(besideSheet, error)) return besideSheet.string();
    const fs::path inCurrent = fs::absolute(name, error);
    if (!error && fs::exists(inCurrent, error)) return inCurrent.string();
    return besideSheet.string();
}

} // namespace

std::string withFileNamesResolved(const std::string &toc,
                                  const std::function<std::string(const std::string &)> &resolve) {
    std::string out;
    std::string lastWord;
    size_t at = 0;
    while (at < toc.size()) {
        const char c = toc[at];
        if (c == '/' && at + 1 < toc.size() && toc[at + 1] == '/') { // a comment, to the line's end
            const size_t end = std::min(toc.find('\n', at), toc.size());
            out.append(toc, at, end - at);
            at = end;
            continue;
        }
        if (c == '"') {
            const size_t close = closingQuote(toc, at);
            if (close == std::string::npos) return out + toc.substr(at);
            const std::string name = toc.substr(at + 1, close - at - 1);
            const std::string resolved = isFileKeyword(lastWord) ? resolve(name) : name;
            // Only a name that needs no escape is written back; any other stays as the sheet has it.
            const bool plain = resolved.find_first_of("\"\\\n") == std::string::npos;
            out += '"' + (plain && name.find('\\') == std::string::npos ? resolved : name) + '"';
            lastWord.clear();
            at = close + 1;
            continue;
        }
        if (isWordByte(c)) {
            size_t end = at;
            while (end < toc.size() && isWordByte(toc[end]))
                ++end;
            lastWord = toc.substr(at, end - at);
            out.append(toc, at, end - at);
            at = end;
            continue;
        }
        if (!std::isspace(static_cast<unsigned char>(c))) lastWord.clear();
        out += c;
        ++at;
    }
    return out;
}

std::vector<bool> tracksWithStart(const std::string &toc) {
    std::vector<bool> starts;
    for (const TocToken &token : tocTokens(toc)) {
        if (token.quoted) continue;
        if (token.text == "TRACK")
            starts.push_back(false);
        else if (token.text == "START" && !starts.empty())
            starts.back() = true;
    }
    return starts;
}

std::optional<TrackFile> lastTrackFile(const std::string &toc) {
    const std::vector<TocToken> tokens = tocTokens(toc);
    const auto isNumber = [&](size_t i) {
        return i < tokens.size() && !tokens[i].quoted &&
               std::isdigit(static_cast<unsigned char>(tokens[i].text[0]));
    };
    std::optional<TrackFile> file;
    bool seen = true; // no TRACK yet
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].quoted) continue;
        if (tokens[i].text == "TRACK") {
            file.reset();
            seen = false;
            continue;
        }
        const bool audio = tokens[i].text == "FILE" || tokens[i].text == "AUDIOFILE";
        if (seen || !audio || i + 1 >= tokens.size() || !tokens[i + 1].quoted) continue;
        seen = true;
        const std::optional<int> start = isNumber(i + 2) ? sectorsOf(tokens[i + 2]) : std::nullopt;
        if (!start) continue; // a byte offset, or a start in samples that is not a whole sector
        const bool toEnd = !isNumber(i + 3) || sectorsOf(tokens[i + 3]) == 0;
        file = TrackFile{tokens[i + 1].text, *start, toEnd};
    }
    return file;
}

std::vector<bool> tracksWithStartOf(const std::string &path) {
    bool ok = false;
    const std::string toc = readSmallFile(path, ok);
    return ok ? tracksWithStart(toc) : std::vector<bool>{};
}

std::optional<TrackFile> lastTrackFileOf(const std::string &path) {
    bool ok = false;
    const std::string toc = readSmallFile(path, ok);
    return ok ? lastTrackFile(toc) : std::nullopt;
}

bool isLargerThanAToc(const std::string &path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    return !error && size > kLargestToc;
}

std::shared_ptr<TocCopy> TocCopy::of(const std::string &path) {
    bool ok = false;
    const std::string toc = readSmallFile(path, ok);
    const fs::path folder =
        fs::path(path).parent_path().empty() ? fs::path(".") : fs::path(path).parent_path();
    const std::string resolved =
        ok ? withFileNamesResolved(toc, [&](const std::string &name) { return absoluteName(folder, name); })
           : toc;
    if (!ok || resolved == toc) return std::shared_ptr<TocCopy>(new TocCopy(path, false));
    const char *tmp = std::getenv("TMPDIR");
    std::string copy = std::string(tmp && *tmp ? tmp : "/tmp") + "/cd-tunewick32-XXXXXX.toc";
    const int fd = mkostemps(copy.data(), 4, O_CLOEXEC);
    if (fd < 0) return std::shared_ptr<TocCopy>(new TocCopy(path, false));
    const bool written =
        ::write(fd, resolved.data(), resolved.size()) == static_cast<ssize_t>(resolved.size());
    ::close(fd);
    if (!written) {
        ::unlink(copy.c_str());
        return std::shared_ptr<TocCopy>(new TocCopy(path, false));
    }
    return std::shared_ptr<TocCopy>(new TocCopy(copy, true));
}

TocCopy::~TocCopy() {
    if (m_owned) ::unlink(m_path.c_str());
}

} // namespace platform
