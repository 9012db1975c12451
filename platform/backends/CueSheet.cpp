#include "platform/backends/CueSheet.h"

#include "platform/Cp932.h"
#include "platform/Messages.h"

#include <QString>
#include <QStringDecoder>

#include <uchardet/uchardet.h>

#include <algorithm>
#include <cctype>
#include <iconv.h>

namespace platform {

namespace {

constexpr int kMaxTracks = 99;
constexpr long long kMaxSectors = 100LL * 3600 * kFramesPerSecond; // a hundred hours

bool validUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        size_t follow = 0;
        if (lead >= 0xC2 && lead <= 0xDF) follow = 1;
        else if (lead >= 0xE0 && lead <= 0xEF) follow = 2;
        else if (lead >= 0xF0 && lead <= 0xF4) follow = 3;
        else if (lead >= 0x80) return false;
        if (i + follow >= bytes.size() && follow > 0) return false;
        for (size_t k = 1; k <= follow; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 0x2) return false;
        i += follow + 1;
    }
    return true;
}

// True when every byte forms a code page 932 character (decoding carries the others as lone surrogates).
bool validCp932(std::string_view bytes) {
    const QString text = cp932::decode(bytes);
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF; });
}

// The encoding a detector reads in `bytes`, or empty when it cannot tell.
std::string detectedEncoding(std::string_view bytes) {
    uchardet_t detector = uchardet_new();
    std::string name;
    if (uchardet_handle_data(detector, bytes.data(), bytes.size()) == 0) {
        uchardet_data_end(detector);
        name = uchardet_get_charset(detector);
    }
    uchardet_delete(detector);
    return name;
}

// `bytes` in `encoding` converted to UTF-8, or nothing when iconv does not know it or the bytes do not fit it.
std::optional<std::string> iconvToUtf8(std::string_view bytes, const std::string &encoding) {
    iconv_t converter = iconv_open("UTF-8", encoding.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(bytes.size() * 4 + 4, '\0');
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = bytes.size();
    char *to = out.data();
    size_t outLeft = out.size();
    const size_t converted = iconv(converter, &in, &inLeft, &to, &outLeft);
    iconv_close(converter);
    if (converted == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

// A sheet's text and how it is to be read. UTF-8 and code page 932 are read as they are. A sheet
// in UTF-16 or UTF-32 with a byte-order mark, or one that is neither UTF-8 nor code page 932 but
// whose encoding a detector names (code page 1251 or 1252 sheets from other countries' rippers),
// is converted to UTF-8 first. `encoding` names what the sheet was read as.
struct SheetText {
    std::string converted; // the UTF-8 text when the sheet was converted
    std::string_view text;
    bool utf8 = false;
    std::string encoding;
};

SheetText sheetText(std::string_view bytes) {
    SheetText result;
    struct Mark {
        std::string_view bytes;
        QStringConverter::Encoding encoding;
        const char *name;
    };
    // UTF-32's marks first: UTF-16 LE's is the start of UTF-32 LE's.
    static const Mark marks[] = {{std::string_view("\xFF\xFE\0\0", 4), QStringConverter::Utf32LE, "UTF-32LE"},
                                 {std::string_view("\0\0\xFE\xFF", 4), QStringConverter::Utf32BE, "UTF-32BE"},
                                 {"\xFF\xFE", QStringConverter::Utf16LE, "UTF-16LE"},
                                 {"\xFE\xFF", QStringConverter::Utf16BE, "UTF-16BE"}};
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        result.text = bytes.substr(3);
        result.utf8 = true;
        result.encoding = "UTF-8";
        return result;
    }
    for (const Mark &mark : marks) {
        if (bytes.substr(0, mark.bytes.size()) != mark.bytes) continue;
        QStringDecoder decoder(mark.encoding, QStringConverter::Flag::Stateless);
        const std::string_view rest = bytes.substr(mark.bytes.size());
        result.converted = QString(decoder(QByteArrayView(rest.data(), static_cast<qsizetype>(rest.size())))).toStdString();
        result.text = result.converted;
        result.utf8 = true;
        result.encoding = mark.name;
        return result;
    }
    result.text = bytes;
    result.utf8 = validUtf8(bytes);
    result.encoding = result.utf8 ? "UTF-8" : "CP932";
    if (result.utf8 || validCp932(bytes)) return result;
    const std::string detected = detectedEncoding(bytes);
    if (detected.empty() || detected == "SHIFT_JIS" || detected == "UTF-8" || detected == "ASCII") return result;
    if (std::optional<std::string> converted = iconvToUtf8(bytes, detected)) {
        result.converted = std::move(*converted);
        result.text = result.converted;
        result.utf8 = true;
        result.encoding = detected;
    }
    return result;
}

std::string upper(std::string text) {
    for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Splits one line into words; a double-quoted word may hold spaces (an unclosed one runs to the end).
std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> result;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        if (line[i] == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) close = line.size();
            result.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
            result.emplace_back(line.substr(i, end - i));
            i = end;
        }
    }
    return result;
}

// mm:ss:ff in sectors, or -1.
int parseTime(const std::string &text) {
    int parts[3] = {0, 0, 0};
    int part = 0;
    size_t digits = 0;
    for (char c : text) {
        if (c == ':') {
            if (digits == 0 || ++part > 2) return -1;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 4) {
            parts[part] = parts[part] * 10 + (c - '0');
            ++digits;
        } else {
            return -1;
        }
    }
    if (part != 2 || digits == 0 || parts[1] >= 60 || parts[2] >= kFramesPerSecond) return -1;
    return (parts[0] * 60 + parts[1]) * kFramesPerSecond + parts[2];
}

int parseNumber(const std::string &text, int low, int high) {
    if (text.empty() || text.size() > 3) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value >= low && value <= high ? value : -1;
}

class Parser {
public:
    Parser(std::string_view text, bool utf8) : m_text(text) { m_sheet.utf8 = utf8; }

    std::optional<CueSheet> run(std::string &reason) {
        size_t at = 0;
        while (at <= m_text.size()) {
            size_t end = m_text.find_first_of("\r\n", at);
            if (end == std::string_view::npos) end = m_text.size();
            ++m_line;
            if (!line(words(m_text.substr(at, end - at)))) {
                reason = message(QT_TRANSLATE_NOOP("platform", "キューシートの %1 行目を読めません: %2"),
                                 {std::to_string(m_line), m_problem});
                return std::nullopt;
            }
            if (end < m_text.size() && m_text[end] == '\r' && end + 1 < m_text.size() && m_text[end + 1] == '\n') ++end;
            at = end + 1;
        }
        leaveOutUnrippedDataTrack();
        if (!check(reason)) return std::nullopt;
        return std::move(m_sheet);
    }

private:
    bool fail(std::string problem) {
        m_problem = std::move(problem);
        return false;
    }

    std::string toUtf8(const std::string &bytes) const {
        return m_sheet.utf8 ? bytes : cp932::decode(bytes).toUtf8().toStdString();
    }

    std::string otherEncoding(const std::string &bytes) const {
        std::string other;
        if (m_sheet.utf8) {
            if (std::optional<std::string> sjis = cp932::encode(QString::fromStdString(bytes))) other = *sjis;
        } else {
            other = cp932::decode(bytes).toUtf8().toStdString();
        }
        return other == bytes ? std::string() : other;
    }

    bool line(const std::vector<std::string> &w) {
        if (w.empty()) return true;
        const std::string key = upper(w[0]);
        if (key == "FILE") return file(w);
        if (key == "TRACK") return track(w);
        if (key == "INDEX") return index(w);
        if (key == "PREGAP" || key == "POSTGAP") return gap(key, w);
        if (key == "FLAGS" && !m_sheet.tracks.empty()) {
            auto has = [&w](const char *name) {
                return std::any_of(w.begin() + 1, w.end(), [name](const std::string &flag) { return upper(flag) == name; });
            };
            m_sheet.tracks.back().preemphasis = has("PRE");
            m_sheet.tracks.back().copyPermitted = has("DCP");
        }
        if (key == "CATALOG" && w.size() >= 2 && m_sheet.tracks.empty()) m_sheet.catalog = w[1];
        if (key == "ISRC" && w.size() >= 2 && !m_sheet.tracks.empty()) m_sheet.tracks.back().isrc = w[1];
        if (key == "TITLE" && w.size() >= 2) {
            (m_sheet.tracks.empty() ? m_sheet.title : m_sheet.tracks.back().title) = toUtf8(w[1]);
            return true;
        }
        return true; // REM, other FLAGS, PERFORMER, SONGWRITER, CDTEXTFILE and the unknown
    }

    bool file(const std::vector<std::string> &w) {
        if (w.size() < 2 || w[1].empty()) return fail(message(QT_TRANSLATE_NOOP("platform", "FILE にファイル名がありません")));
        if (m_sheet.files.size() >= kMaxTracks) return fail(message(QT_TRANSLATE_NOOP("platform", "FILE が多すぎます")));
        m_sheet.files.push_back({w[1], otherEncoding(w[1]), w.size() >= 3 ? upper(w[2]) : "WAVE"});
        return true;
    }

    bool track(const std::vector<std::string> &w) {
        if (m_sheet.files.empty()) return fail(message(QT_TRANSLATE_NOOP("platform", "TRACK の前に FILE がありません")));
        const int number = w.size() >= 2 ? parseNumber(w[1], 1, kMaxTracks) : -1;
        if (number < 0) return fail(message(QT_TRANSLATE_NOOP("platform", "トラック番号は 1 から 99 です")));
        if (!m_sheet.tracks.empty() && number != m_sheet.tracks.back().number + 1)
            return fail(message(QT_TRANSLATE_NOOP("platform", "トラック番号が続いていません")));
        CueSheet::Track track;
        track.number = number;
        track.mode = w.size() >= 3 ? upper(w[2]) : "AUDIO";
        track.file = static_cast<int>(m_sheet.files.size()) - 1;
        m_index0File = -1;
        m_sheet.tracks.push_back(std::move(track));
        return true;
    }

    bool index(const std::vector<std::string> &w) {
        if (m_sheet.tracks.empty()) return fail(message(QT_TRANSLATE_NOOP("platform", "INDEX の前に TRACK がありません")));
        CueSheet::Track &track = m_sheet.tracks.back();
        const int number = w.size() >= 2 ? parseNumber(w[1], 0, 99) : -1;
        const int time = w.size() >= 3 ? parseTime(w[2]) : -1;
        if (number < 0 || time < 0) return fail(message(QT_TRANSLATE_NOOP("platform", "INDEX は「INDEX 番号 分:秒:フレーム」です")));
        // A track whose INDEX 00 ends one file goes on in the next: its INDEX 01 is in the new file.
        // (Later indexes only mark places within the track and never move it.)
        if (number <= 1) track.file = static_cast<int>(m_sheet.files.size()) - 1;
        if (number == 0) {
            track.index0 = time;
            m_index0File = track.file;
        }
        if (number == 1) {
            if (m_index0File >= 0 && m_index0File != track.file) { // the gap lies at the end of the previous file
                track.gapFile = m_index0File;
                track.gapIndex = track.index0;
                track.index0 = -1;
            }
            if (track.index0 > time) return fail(message(QT_TRANSLATE_NOOP("platform", "INDEX 01 が INDEX 00 より前です")));
            track.index1 = time;
        }
        return true;
    }

    bool gap(const std::string &key, const std::vector<std::string> &w) {
        if (m_sheet.tracks.empty()) return fail(message(QT_TRANSLATE_NOOP("platform", "%1 の前に TRACK がありません"), {key}));
        const int time = w.size() >= 2 ? parseTime(w[1]) : -1;
        if (time < 0) return fail(message(QT_TRANSLATE_NOOP("platform", "%1 は「%1 分:秒:フレーム」です"), {key}));
        (key == "PREGAP" ? m_sheet.tracks.back().pregap : m_sheet.tracks.back().postgap) = time;
        return true;
    }

    // Rippers write a last line for an enhanced CD's data track that they do not rip: its TRACK without
    // an INDEX. The disc's audio plays without it, so it is left out rather than refusing the sheet.
    void leaveOutUnrippedDataTrack() {
        if (m_sheet.tracks.size() < 2) return;
        const CueSheet::Track &last = m_sheet.tracks.back();
        if (!last.audio() && last.index0 < 0 && last.index1 < 0) m_sheet.tracks.pop_back();
    }

    bool check(std::string &reason) const {
        if (m_sheet.tracks.empty()) {
            reason = message(QT_TRANSLATE_NOOP("platform", "キューシートにトラックがありません"));
            return false;
        }
        for (const CueSheet::Track &track : m_sheet.tracks) {
            if (track.index1 < 0) {
                reason = message(QT_TRANSLATE_NOOP("platform", "キューシートのトラック %1 に INDEX 01 がありません"),
                                 {std::to_string(track.number)});
                return false;
            }
        }
        if (std::none_of(m_sheet.tracks.begin(), m_sheet.tracks.end(), [](const auto &t) { return t.audio(); })) {
            reason = message(QT_TRANSLATE_NOOP("platform", "キューシートに音声トラックがありません"));
            return false;
        }
        return true;
    }

    std::string_view m_text;
    CueSheet m_sheet;
    int m_line = 0;
    int m_index0File = -1; // the file that holds the present track's INDEX 00
    std::string m_problem;
};

} // namespace

int CueSheet::Track::sectorBytes() const {
    if (mode == "MODE1/2048" || mode == "MODE2/2048") return 2048;
    if (mode == "MODE2/2324") return 2324;
    if (mode == "MODE2/2336" || mode == "CDI/2336") return 2336;
    if (mode == "CDG") return 2448;
    return kSectorBytes;
}

std::optional<CueSheet> CueSheet::parse(std::string_view bytes, std::string &reason) {
    if (bytes.size() > static_cast<size_t>(kMaxBytes)) {
        reason = message(QT_TRANSLATE_NOOP("platform", "キューシートが大きすぎます (%1 バイト)"), {std::to_string(bytes.size())});
        return std::nullopt;
    }
    const SheetText sheet = sheetText(bytes);
    std::optional<CueSheet> result = Parser(sheet.text, sheet.utf8).run(reason);
    if (result) return result;
    // Text in a one-byte encoding holds no zero bytes: a sheet that does was written in UTF-16 or
    // UTF-32 without a mark (or is no text at all), which is what the user needs to hear, rather
    // than that it holds no tracks.
    if (sheet.text.find('\0') != std::string_view::npos) {
        const std::string detected = detectedEncoding(bytes);
        reason = message(QT_TRANSLATE_NOOP("platform", "キューシートの文字コード (%1) は読めません"),
                         {detected.empty() ? message(QT_TRANSLATE_NOOP("platform", "不明")) : detected});
    } else if (sheet.encoding != "UTF-8" && sheet.encoding != "CP932") {
        reason += message(QT_TRANSLATE_NOOP("platform", " (文字コード %1 として読みました)"), {sheet.encoding});
    }
    return result;
}

namespace {

class Layout {
public:
    Layout(const CueSheet &sheet, const std::vector<RipLayout::Extent> &extents) : m_sheet(sheet), m_extents(extents) {}

    std::optional<RipLayout> run(std::string &reason) {
        m_result.toc.firstTrack = m_sheet.tracks.front().number;
        m_result.toc.lastTrack = m_sheet.tracks.back().number;
        m_result.toc.text.title = m_sheet.title;
        for (const CueSheet::Track &track : m_sheet.tracks) {
            m_result.toc.dataTrack.push_back(!track.audio());
            m_result.toc.preemphasis.push_back(track.preemphasis);
            m_result.toc.text.trackTitles.push_back(track.title);
        }
        m_result.toc.trackStart.assign(m_sheet.tracks.size(), 0);
        for (size_t f = 0; f < m_sheet.files.size(); ++f)
            if (!layOutFile(static_cast<int>(f))) {
                reason = m_problem;
                return std::nullopt;
            }
        if (m_sector > kMaxSectors) {
            reason = message(QT_TRANSLATE_NOOP("platform", "音声が長すぎます"));
            return std::nullopt;
        }
        m_result.toc.leadOut = static_cast<int>(m_sector);
        const std::vector<int> &starts = m_result.toc.trackStart;
        for (size_t k = 0; k < starts.size(); ++k) {
            const int end = k + 1 < starts.size() ? starts[k + 1] : m_result.toc.leadOut;
            if (end <= starts[k]) {
                reason = message(QT_TRANSLATE_NOOP("platform", "キューシートのトラック %1 に長さがありません"),
                                 {std::to_string(m_sheet.tracks[k].number)});
                return std::nullopt;
            }
        }
        return std::move(m_result);
    }

private:
    bool fail(std::string problem) {
        m_problem = std::move(problem);
        return false;
    }

    bool layOutFile(int file) {
        const RipLayout::Extent &extent = m_extents.at(static_cast<size_t>(file));
        const bool raw = m_sheet.files[static_cast<size_t>(file)].raw();
        long long at = 0;    // sector in the file
        long long byte = 0;  // byte in a raw file
        const CueSheet::Track *previous = nullptr;
        for (size_t k = 0; k < m_sheet.tracks.size(); ++k) {
            const CueSheet::Track &track = m_sheet.tracks[k];
            if (track.file != file) continue;
            const long long cut = track.firstIndex();
            const CueSheet::Track &owner = previous ? *previous : track;
            if (cut < at)
                return fail(message(QT_TRANSLATE_NOOP("platform", "キューシートのトラック %1 の INDEX が前のトラックより前です"),
                                    {std::to_string(track.number)}));
            const long long known = raw ? at + (extent.bytes - byte) / owner.sectorBytes() : extent.sectors;
            if (track.index1 >= known)
                return fail(message(QT_TRANSLATE_NOOP("platform", "キューシートのトラック %1 の INDEX 01 が音声ファイルの終わりより後です"),
                                    {std::to_string(track.number)}));
            if (!fileSpan(file, at, cut - at, byte)) return false;
            byte += (cut - at) * owner.sectorBytes();
            if (previous) silence(previous->postgap);
            silence(track.pregap);
            m_result.toc.trackStart[k] = static_cast<int>(m_sector + (track.index1 - cut));
            at = cut;
            previous = &track;
        }
        if (!previous) return layOutLeadingGap(file, extent, raw);
        const long long end = raw ? at + (extent.bytes - byte) / previous->sectorBytes() : extent.sectors;
        if (!fileSpan(file, at, end - at, byte)) return false;
        silence(previous->postgap);
        return true;
    }

    // A file that holds no track's INDEX 01 but the first track's INDEX 00 (a ripper's file of the
    // hidden audio before track 1) is on the disc from that INDEX 00 on; any other such file adds nothing.
    bool layOutLeadingGap(int file, const RipLayout::Extent &extent, bool raw) {
        const auto gapHere = [file](const CueSheet::Track &track) { return track.gapFile == file; };
        const auto track = std::find_if(m_sheet.tracks.begin(), m_sheet.tracks.end(), gapHere);
        if (track == m_sheet.tracks.end() || m_sector > 0) return true;
        const long long from = track->gapIndex;
        const long long end = raw ? extent.bytes / track->sectorBytes() : extent.sectors;
        return fileSpan(file, from, end - from, from * track->sectorBytes());
    }

    bool fileSpan(int file, long long from, long long sectors, long long byte) {
        if (sectors <= 0) return true;
        if (m_sector + sectors > kMaxSectors) return fail(message(QT_TRANSLATE_NOOP("platform", "音声が長すぎます")));
        m_result.spans.push_back({static_cast<int>(m_sector), static_cast<int>(sectors), file, from, byte});
        m_sector += sectors;
        return true;
    }

    void silence(int sectors) {
        if (sectors <= 0) return;
        m_result.spans.push_back({static_cast<int>(m_sector), sectors, -1, 0, 0});
        m_sector += sectors;
    }

    const CueSheet &m_sheet;
    const std::vector<RipLayout::Extent> &m_extents;
    RipLayout m_result;
    long long m_sector = 0;
    std::string m_problem;
};

} // namespace

std::optional<RipLayout> RipLayout::build(const CueSheet &sheet, const std::vector<Extent> &extents,
                                          std::string &reason) {
    if (extents.size() != sheet.files.size() || sheet.tracks.empty()) {
        reason = message(QT_TRANSLATE_NOOP("platform", "キューシートの FILE と音声ファイルが合いません"));
        return std::nullopt;
    }
    return Layout(sheet, extents).run(reason);
}

const RipLayout::Span &RipLayout::spanAt(int sector) const {
    auto after = std::upper_bound(spans.begin(), spans.end(), sector,
                                  [](int s, const Span &span) { return s < span.start; });
    return after == spans.begin() ? spans.front() : *(after - 1);
}

} // namespace platform
