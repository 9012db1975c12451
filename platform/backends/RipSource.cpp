#include "platform/backends/RipSource.h"

#include "platform/Cp932.h"
#include "platform/Messages.h"
#include "platform/backends/AudioOutput.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

constexpr int kDirectoryEntriesLooked = 10000;

std::string lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A FILE name made relative to the sheet's folder: Windows separators become '/', and a name with a
// drive or a root (a sheet written for another machine) keeps only its last part. Empty when the name
// climbs out of the folder with "..".
std::string relativeName(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    const bool rooted = (!name.empty() && name[0] == '/') ||
                        (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':');
    if (rooted) name = name.substr(name.find_last_of('/') == std::string::npos ? 2 : name.find_last_of('/') + 1);
    int depth = 0;
    size_t at = 0;
    while (at <= name.size()) {
        size_t end = name.find('/', at);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(at, end - at);
        if (part == "..") {
            if (--depth < 0) return {};
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        at = end + 1;
    }
    return depth > 0 ? name : std::string();
}

// An entry of `folder` whose name equals `name` but for letter case, or empty.
fs::path sameNameIgnoringCase(const fs::path &folder, const std::string &name) {
    std::error_code error;
    int looked = 0;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder, error)) {
        if (++looked > kDirectoryEntriesLooked) break;
        if (lower(entry.path().filename().string()) == lower(name)) return entry.path();
    }
    return {};
}

// Where a FILE line's data is: the name as written, then with other letter case, then with the
// extension of another format (rips are often re-encoded without touching the sheet).
fs::path locate(const fs::path &folder, const std::string &relative) {
    const fs::path wanted = folder / relative;
    std::error_code error;
    if (fs::exists(wanted, error)) return wanted;
    const fs::path parent = wanted.parent_path();
    const fs::path found = sameNameIgnoringCase(parent, wanted.filename().string());
    if (!found.empty()) return found;
    for (const char *extension : {".flac", ".wav", ".ape", ".wv", ".tak", ".aiff", ".aif", ".m4a", ".bin"}) {
        fs::path other = wanted;
        other.replace_extension(extension);
        const fs::path candidate = sameNameIgnoringCase(parent, other.filename().string());
        if (!candidate.empty()) return candidate;
    }
    return {};
}

std::string shown(const CueSheet &sheet, const std::string &name) {
    return sheet.utf8 ? name : cp932::decode(name).toUtf8().toStdString();
}

// The path of a FILE line's data, or empty with a reason.
std::string findFile(const fs::path &folder, const CueSheet &sheet, const CueSheet::File &file, std::string &reason) {
    const std::string name = shown(sheet, file.name);
    for (const std::string &written : {file.name, file.otherName}) {
        if (written.empty()) continue;
        const std::string relative = relativeName(written);
        if (relative.empty()) {
            reason = message(QT_TRANSLATE_NOOP("platform", "キューシートのフォルダーの外にあるファイルは開きません: %1"),
                             {name});
            return {};
        }
        const fs::path path = locate(folder, relative);
        if (path.empty()) continue;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            reason = message(QT_TRANSLATE_NOOP("platform", "キューシートの FILE が普通のファイルではありません: %1"), {name});
            return {};
        }
        return path.string();
    }
    reason = message(QT_TRANSLATE_NOOP("platform", "キューシートの音声ファイルが見つかりません: %1"), {name});
    return {};
}

// Whether the file at `path` begins as an audio container or compressed audio does. Such a file is
// decoded whatever its FILE line says: played as raw samples it would be full-scale noise. Only
// marks of four bytes or more (or ID3's with its version) are looked for, which raw samples match
// by chance about once in four billion files.
bool startsAsAudioFile(const std::string &path) {
    char head[12] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(head, sizeof head);
    if (in.gcount() < 4) return false;
    const std::string_view first(head, 4), second(head + 4, 4), third(head + 8, 4);
    for (const char *mark : {"fLaC", "MAC ", "wvpk", "tBaK", "TTA1", "OggS", "caff", "riff", "RF64", "BW64", "\x1A\x45\xDF\xA3"})
        if (first == mark) return true;
    if (first == "RIFF" && third == "WAVE") return true;
    if (first == "FORM" && (third == "AIFF" || third == "AIFC")) return true;
    if (second == "ftyp") return true;
    return first.substr(0, 3) == "ID3" && head[3] >= 2 && head[3] <= 4;
}

std::optional<std::string> readSheet(const std::string &path, std::string &reason) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = message(QT_TRANSLATE_NOOP("platform", "キューシートを開けません: %1"), {path});
        return std::nullopt;
    }
    if (info.st_size > CueSheet::kMaxBytes) {
        reason = message(QT_TRANSLATE_NOOP("platform", "キューシートが大きすぎます (%1 バイト): %2"),
                         {std::to_string(info.st_size), path});
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        reason = message(QT_TRANSLATE_NOOP("platform", "キューシートを読めません: %1"), {path});
        return std::nullopt;
    }
    return bytes;
}

} // namespace

std::shared_ptr<RipSource> RipSource::prepare(const std::string &sheetPath, std::string &reason) {
    std::optional<std::string> bytes = readSheet(sheetPath, reason);
    if (!bytes) return nullptr;
    std::optional<CueSheet> sheet = CueSheet::parse(*bytes, reason);
    if (!sheet) return nullptr;
    const fs::path folder = fs::path(sheetPath).parent_path().empty() ? fs::path(".") : fs::path(sheetPath).parent_path();
    std::vector<std::string> files;
    for (size_t f = 0; f < sheet->files.size(); ++f) {
        const CueSheet::File &file = sheet->files[f];
        const bool used = std::any_of(sheet->tracks.begin(), sheet->tracks.end(),
                                      [&](const CueSheet::Track &t) { return t.file == static_cast<int>(f) || t.gapFile == static_cast<int>(f); });
        std::string path = used ? findFile(folder, *sheet, file, reason) : std::string();
        if (used && path.empty()) return nullptr;
        // What the file is decides how it is read; the sheet's word only says what it was once.
        if (used && file.raw() && startsAsAudioFile(path)) sheet->files[f].type = "WAVE";
        files.push_back(std::move(path));
    }
    return std::shared_ptr<RipSource>(new RipSource(sheetPath, std::move(*sheet), std::move(files)));
}

std::shared_ptr<RipSource> RipSource::create(const std::string &sheetPath, std::string &reason) {
    std::shared_ptr<RipSource> rip = prepare(sheetPath, reason);
    return rip && rip->measure(reason) ? rip : nullptr;
}

RipSource::RipSource(std::string sheetPath, CueSheet sheet, std::vector<std::string> files)
    : m_sheetPath(std::move(sheetPath)), m_sheet(std::move(sheet)), m_files(std::move(files)) {}

// Each file's length: a raw file's from its size, another's from its decoder, which checks its
// format and decodes its end (or, where its header does not say, all of it).
bool RipSource::measure(std::string &reason) {
    std::vector<RipLayout::Extent> extents;
    for (size_t f = 0; f < m_files.size(); ++f) {
        const std::string &path = m_files[f];
        RipLayout::Extent extent;
        if (!path.empty() && m_sheet.files[f].raw()) {
            std::error_code error;
            extent.bytes = static_cast<long long>(fs::file_size(path, error));
        } else if (!path.empty()) {
            std::unique_ptr<AudioDecoder> decoder =
                AudioDecoder::open(path, shown(m_sheet, m_sheet.files[f].name), true, reason, &m_cancelled);
            if (!decoder) return false;
            extent.sectors = (decoder->frames() + kFramesPerSector - 1) / kFramesPerSector;
        }
        extents.push_back(extent);
    }
    m_layout = RipLayout::build(m_sheet, extents, reason);
    m_measured = m_layout.has_value();
    return m_measured;
}

RipSource::~RipSource() {
    if (m_fd >= 0) ::close(m_fd);
}

MediaState RipSource::poll(TableOfContents &toc) {
    if (!m_measured && !m_measureTried) {
        m_measureTried = true;
        measure(m_failure);
    }
    if (!m_measured) return MediaState::NoDrive;
    toc = m_layout->toc;
    return MediaState::Ready;
}

MediaState RipSource::knownAtStart(TableOfContents &toc) const {
    if (!m_measured.load()) return MediaState::NoDisc;
    toc = m_layout->toc;
    return MediaState::Ready;
}

bool RipSource::read(int lsn, int count, uint8_t *out) {
    if (lsn < 0 || count <= 0 || !m_measured || lsn + count > m_layout->toc.leadOut) return false;
    while (count > 0) {
        const RipLayout::Span &span = m_layout->spanAt(lsn);
        const int n = std::min(count, span.start + span.sectors - lsn);
        if (!readSpan(span, lsn, n, out)) return false;
        lsn += n;
        count -= n;
        out += static_cast<size_t>(n) * kSectorBytes;
    }
    return true;
}

bool RipSource::readSpan(const RipLayout::Span &span, int lsn, int count, uint8_t *out) {
    const size_t bytes = static_cast<size_t>(count) * kSectorBytes;
    if (span.file < 0) {
        std::fill(out, out + bytes, uint8_t{0});
        return true;
    }
    if (!use(span.file)) return false;
    const long long into = lsn - span.start;
    if (m_decoder) {
        m_decoder->read((span.fileSector + into) * kFramesPerSector, count * kFramesPerSector, out);
        return true;
    }
    const off_t offset = static_cast<off_t>(span.fileByte + into * kSectorBytes);
    const ssize_t got = pread(m_fd, out, bytes, offset);
    if (got < 0) return false;
    // A raw file that ends within its last sector: the rest of the sector is silence.
    std::fill(out + got, out + bytes, uint8_t{0});
    if (m_sheet.files[static_cast<size_t>(span.file)].type == "MOTOROLA")
        for (size_t i = 0; i + 1 < bytes; i += 2) std::swap(out[i], out[i + 1]);
    return true;
}

// Opens `file` unless it is open already, closing the one before.
bool RipSource::use(int file) {
    if (file == m_current) return m_decoder || m_fd >= 0;
    m_decoder.reset();
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_current = file;
    const std::string &path = m_files[static_cast<size_t>(file)];
    if (m_sheet.files[static_cast<size_t>(file)].raw()) {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        return m_fd >= 0;
    }
    std::string reason;
    m_decoder = AudioDecoder::open(path, path, false, reason);
    return m_decoder != nullptr;
}

} // namespace platform
