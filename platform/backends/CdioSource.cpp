#include "platform/backends/CdioSource.h"

#include "platform/Messages.h"
#include "platform/backends/CdText.h"
#include "platform/backends/TocNames.h"

#include <algorithm>
#include <cdio/memory.h>
#include <cdio/mmc.h>
#include <cdio/mmc_ll_cmds.h>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iomanip>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool hasAudio(const TableOfContents &toc) {
    return std::find(toc.dataTrack.begin(), toc.dataTrack.end(), false) != toc.dataTrack.end();
}

bool endsWith(const std::string &text, const std::string &tail) {
    if (text.size() < tail.size()) return false;
    return std::equal(tail.rbegin(), tail.rend(), text.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// libcdio's cdrdao reader makes a last track that runs to its file's end as long as the whole
// file, even when it starts further in. `position` is where the track's data begins on the disc;
// the lead-out is put where the file's data ends.
lsn_t endOfLastFile(const char *sheet, lsn_t position, lsn_t leadOut) {
    const std::optional<TrackFile> file = sheet ? lastTrackFileOf(sheet) : std::nullopt;
    struct stat info {};
    if (!file || !file->toEnd || file->offset == 0 || stat(file->name.c_str(), &info) != 0) return leadOut;
    const off_t sectors = info.st_size / CDIO_CD_FRAMESIZE_RAW;
    if (leadOut - position != sectors) return leadOut; // not the whole file
    return position + static_cast<lsn_t>(sectors) - file->offset;
}

std::string groupName(gid_t gid) {
    struct group *entry = getgrgid(gid);
    return entry ? entry->gr_name : std::to_string(gid);
}

// libcdio's sheet parsers are not safe on every malformed sheet (a cdrdao track without a mode
// followed by a FILE line divides by zero and kills the process). So an image is first read in a
// child process; only when the child reads its table of contents and ends normally, within a few
// seconds, is it opened here. When no child can be started, the image is opened as it is.
bool readsSafely(const std::string &path, driver_id_t driver) {
    return succeedsInChild(
        [&] {
            CdIo_t *cdio = cdio_open(path.c_str(), driver);
            TableOfContents toc;
            return cdio && CdioSource::readToc(cdio, toc);
        },
        5000);
}

// The files that a sheet names (FILE, AUDIOFILE, DATAFILE), each where a parser may look for it:
// beside the sheet, and from the current folder.
std::vector<std::string> filesNamedBy(const std::string &sheet) {
    std::vector<std::string> found;
    std::ifstream in(sheet);
    const std::filesystem::path folder = std::filesystem::path(sheet).parent_path();
    std::string line;
    for (int lines = 0; lines < 100000 && std::getline(in, line); ++lines) {
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        std::transform(keyword.begin(), keyword.end(), keyword.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        if (keyword != "FILE" && keyword != "AUDIOFILE" && keyword != "DATAFILE") continue;
        std::string name;
        if (!(words >> std::quoted(name)) || name.empty()) continue;
        found.push_back(name);
        if (name.front() != '/') found.push_back((folder / name).string());
    }
    return found;
}

// A named pipe, a socket or a device among a sheet's files would hold the check (and the window
// with it) until its time limit: the first such file, or "" when there is none.
std::string unreadableFileOf(const std::string &sheet) {
    for (const std::string &file : filesNamedBy(sheet)) {
        struct stat info {};
        if (stat(file.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return file;
    }
    return {};
}

NotReadyReason lastNotReadyReason(CdIo_t *cdio) {
    cdio_mmc_request_sense_t *sense = nullptr;
    const int length = mmc_last_cmd_sense(cdio, &sense);
    const NotReadyReason reason = notReadyReason(reinterpret_cast<const uint8_t *>(sense), length);
    cdio_free(sense);
    return reason;
}

} // namespace

bool succeedsInChild(const std::function<bool()> &work, int waitMs) {
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) return true;
    if (child == 0) {
        // The child keeps none of the player's descriptors (its guard's lock and socket above all:
        // a child left behind would keep every later start out), and ends with the player.
        close_range(3, ~0U, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        // A fault in the work ends the child quietly, whatever handlers the program installed.
        for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
            std::signal(signal, SIG_DFL);
        _exit(work() ? 0 : 1);
    }
    for (int waited = 0; waited < waitMs; waited += 10) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0) return false;
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return false;
}

driver_id_t CdioSource::imageDriver(const std::string &path) {
    if (endsWith(path, ".cue")) return DRIVER_BINCUE;
    if (endsWith(path, ".toc")) return DRIVER_CDRDAO;
    if (endsWith(path, ".nrg")) return DRIVER_NRG;
    return DRIVER_UNKNOWN;
}

std::shared_ptr<CdioSource> CdioSource::create(const std::string &path, std::string &reason) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        reason = message(QT_TRANSLATE_NOOP("platform", "CDﾄﾞﾗｲﾌﾞもﾃﾞｨｽｸｲﾒｰｼﾞもありません: %1"), {path});
        return nullptr;
    }
    // On Linux a CD drive is a block device: a character device (/dev/zero, a terminal) would be
    // read as endless noise or hold the reader, and is not opened at all.
    if (S_ISCHR(info.st_mode)) {
        reason = message(QT_TRANSLATE_NOOP("platform", "CDﾄﾞﾗｲﾌﾞではありません: %1"), {path});
        return nullptr;
    }
    const bool device = S_ISBLK(info.st_mode);
    if (access(path.c_str(), R_OK) != 0) {
        if (device)
            reason = message(QT_TRANSLATE_NOOP("platform",
                                               "CDﾄﾞﾗｲﾌﾞ %1 を読む権限がありません: ｸﾞﾙｰﾌﾟ \"%2\" に入り "
                                               "(sudo adduser $USER %2)、ﾛｸﾞｲﾝし直してください"),
                             {path, groupName(info.st_gid)});
        else
            reason = message(QT_TRANSLATE_NOOP("platform", "ﾃﾞｨｽｸｲﾒｰｼﾞ %1 を読む権限がありません"), {path});
        return nullptr;
    }
    if (device) return std::shared_ptr<CdioSource>(new CdioSource(path, true, {}));
    // A pipe or a socket would hold the probe below, and the window with it, until its time limit.
    if (!S_ISREG(info.st_mode)) {
        reason = message(QT_TRANSLATE_NOOP("platform", "ﾃﾞｨｽｸｲﾒｰｼﾞが普通のﾌｧｲﾙではありません: %1"), {path});
        return nullptr;
    }
    // libcdio guesses at other files and prints errors doing so: only the image kinds it reads.
    if (imageDriver(path) == DRIVER_UNKNOWN) {
        reason = message(
            QT_TRANSLATE_NOOP("platform",
                              "ﾃﾞｨｽｸｲﾒｰｼﾞではありません (.cue, .toc, .nrg のﾌｧｲﾙを指定してください): %1"),
            {path});
        return nullptr;
    }

    if (const std::string file = unreadableFileOf(path); !file.empty()) {
        reason = message(QT_TRANSLATE_NOOP("platform", "ﾃﾞｨｽｸｲﾒｰｼﾞが普通のﾌｧｲﾙではありません: %1"), {file});
        return nullptr;
    }
    // What libcdio reads: a .toc with relative names through a copy with absolute ones.
    std::shared_ptr<TocCopy> copy = imageDriver(path) == DRIVER_CDRDAO ? TocCopy::of(path) : nullptr;
    const std::string readPath = copy ? copy->path() : path;
    const bool oversized = imageDriver(path) == DRIVER_CDRDAO && isLargerThanAToc(path);
    if (oversized || !readsSafely(readPath, imageDriver(path))) {
        reason =
            message(QT_TRANSLATE_NOOP("platform", "読めないﾃﾞｨｽｸｲﾒｰｼﾞです (.cue, .toc, .nrg): %1"), {path});
        return nullptr;
    }
    Handle probe(cdio_open(readPath.c_str(), imageDriver(path)), &cdio_destroy);
    TableOfContents toc;
    if (!probe || !readToc(probe.get(), toc)) {
        reason =
            message(QT_TRANSLATE_NOOP("platform", "読めないﾃﾞｨｽｸｲﾒｰｼﾞです (.cue, .toc, .nrg): %1"), {path});
        return nullptr;
    }
    if (!hasAudio(toc)) {
        reason = message(QT_TRANSLATE_NOOP("platform", "音楽CDではありません: %1 にはﾃﾞｰﾀﾄﾗｯｸしかありません"),
                         {path});
        return nullptr;
    }
    return std::shared_ptr<CdioSource>(new CdioSource(path, false, toc, std::move(copy)));
}

CdioSource::CdioSource(std::string path, bool device, TableOfContents probed, std::shared_ptr<TocCopy> copy)
    : m_path(std::move(path)), m_device(device), m_probed(std::move(probed)), m_copy(std::move(copy)) {}

std::string CdioSource::name() const {
    return (m_device ? "CD drive " : "disc image ") + m_path;
}

MediaState CdioSource::knownAtStart(TableOfContents &toc) const {
    if (m_device) return MediaState::NoDisc;
    toc = m_probed;
    return MediaState::Ready;
}

CdioSource::Handle CdioSource::openHandle() const {
    const std::string &path = m_copy ? m_copy->path() : m_path;
    return Handle(cdio_open(path.c_str(), m_device ? DRIVER_DEVICE : imageDriver(m_path)), &cdio_destroy);
}

bool CdioSource::readToc(CdIo_t *cdio, TableOfContents &toc) {
    track_t first = cdio_get_first_track_num(cdio);
    track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) return false;
    TableOfContents result;
    result.firstTrack = first;
    result.lastTrack = first + count - 1;
    for (int track = result.firstTrack; track <= result.lastTrack; ++track) {
        lsn_t start = cdio_get_track_lsn(cdio, static_cast<track_t>(track));
        if (start == CDIO_INVALID_LSN) return false;
        // Tracks follow each other on a disc. libcdio's cdrdao reader puts a track where its data
        // begins in its file, so a .toc with a file for each track gives tracks without length.
        if (!result.trackStart.empty() && start <= result.trackStart.back()) return false;
        // A START there puts the track at its pregap's length and the pregap at the file's start:
        // a pregap that does not follow the track before is such a file of its own.
        if (const lsn_t gap = cdio_get_track_pregap_lsn(cdio, static_cast<track_t>(track));
            !result.trackStart.empty() && gap != CDIO_INVALID_LSN && gap <= result.trackStart.back())
            return false;
        result.trackStart.push_back(start);
        result.dataTrack.push_back(cdio_get_track_format(cdio, static_cast<track_t>(track)) !=
                                   TRACK_FORMAT_AUDIO);
        result.preemphasis.push_back(cdio_get_track_preemphasis(cdio, static_cast<track_t>(track)) ==
                                     CDIO_TRACK_FLAG_TRUE);
    }
    result.leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    // libcdio's cdrdao reader counts the last track's data from its INDEX 01, not from the start
    // of the pregap that START cuts off it, and so puts the lead-out that far past the data.
    if (cdio_get_driver_id(cdio) == DRIVER_CDRDAO && result.leadOut != CDIO_INVALID_LSN) {
        const int gap = readGaps(cdio, result).back();
        if (gap >= 0) result.leadOut -= result.trackStart.back() - gap;
        result.leadOut = endOfLastFile(cdio_get_arg(cdio, "source"),
                                       gap >= 0 ? gap : result.trackStart.back(), result.leadOut);
    }
    if (result.leadOut == CDIO_INVALID_LSN || result.leadOut <= result.trackStart.back()) return false;
    // An enhanced CD holds its data track in a second session, which starts 11400 sectors after
    // the first session's lead-out (that lead-out, the next lead-in and the pregap).
    lsn_t lastSession = 0;
    if (cdio_get_last_session(cdio, &lastSession) == DRIVER_OP_SUCCESS &&
        lastSession > result.trackStart.front())
        result.firstSessionLeadOut = lastSession - kSessionGap;
    result.text = readCdText(cdio, result.firstTrack, result.lastTrack);
    toc = std::move(result);
    return true;
}

std::vector<int> CdioSource::readGaps(CdIo_t *cdio, const TableOfContents &toc) {
    const bool cdrdao = cdio_get_driver_id(cdio) == DRIVER_CDRDAO;
    const char *sheet = cdrdao ? cdio_get_arg(cdio, "source") : nullptr;
    const std::vector<bool> starts = sheet ? tracksWithStartOf(sheet) : std::vector<bool>{};
    std::vector<int> gaps;
    for (int track = toc.firstTrack; track <= toc.lastTrack; ++track) {
        const size_t i = static_cast<size_t>(track - toc.firstTrack);
        const lsn_t gap = cdio_get_track_pregap_lsn(cdio, static_cast<track_t>(track));
        const int earliest = track == toc.firstTrack ? 0 : toc.trackStart[i - 1];
        const bool started = !cdrdao || (i < starts.size() && starts[i]);
        const bool inPlace = gap != CDIO_INVALID_LSN && gap >= earliest && gap < toc.trackStart[i];
        gaps.push_back(started && inPlace ? gap : -1);
    }
    return gaps;
}

MediaState CdioSource::poll(TableOfContents &toc) {
    MediaState state = m_device ? pollDevice() : pollImage();
    if (state == MediaState::Ready) toc = m_toc;
    return state;
}

MediaState CdioSource::pollImage() {
    if (!m_handle) {
        m_handle = openHandle();
        m_tocFresh = m_handle && readToc(m_handle.get(), m_toc);
    }
    return m_tocFresh && hasAudio(m_toc) ? MediaState::Ready : MediaState::NoDisc;
}

MediaState CdioSource::pollDevice() {
    if (!m_handle) {
        m_handle = openHandle();
        m_tocFresh = false;
        if (!m_handle) {
            struct stat info {};
            return stat(m_path.c_str(), &info) == 0 ? MediaState::NoDisc : MediaState::NoDrive;
        }
    }
    if (mmc_get_tray_status(m_handle.get()) == 1) {
        m_tocFresh = false;
        return MediaState::TrayOpen;
    }
    if (mmc_test_unit_ready(m_handle.get(), 0) != DRIVER_OP_SUCCESS) {
        // A transient not-ready keeps the disc that is known (m_toc); the drive's own word that
        // no medium is present, or failures for a second, do not.
        const MediaState said =
            m_readiness.failed(lastNotReadyReason(m_handle.get()), m_tocFresh, ReadinessFilter::Clock::now());
        if (said == MediaState::Ready) return hasAudio(m_toc) ? MediaState::Ready : MediaState::NoDisc;
        m_tocFresh = false;
        return said;
    }
    m_readiness.succeeded();
    if (!m_tocFresh) {
        // The driver keeps the table of contents it read when the handle was opened, so a disc that
        // came in since is read through a fresh handle. The drive forgets its speed with the disc.
        m_handle = openHandle();
        if (!m_handle) return MediaState::NoDisc;
        if (!readToc(m_handle.get(), m_toc)) return MediaState::NoDisc;
        cdio_set_speed(m_handle.get(), kQuietSpeed);
        m_tocFresh = true;
    }
    return hasAudio(m_toc) ? MediaState::Ready : MediaState::NoDisc;
}

bool CdioSource::read(int lsn, int count, uint8_t *out) {
    if (!m_handle || count <= 0) return false;
    const auto readInto = [this](int from, int sectors, uint8_t *into) {
        return cdio_read_audio_sectors(m_handle.get(), into, from, static_cast<uint32_t>(sectors)) ==
               DRIVER_OP_SUCCESS;
    };
    if (m_device) return readInto(lsn, count, out);
    // An image's driver reports sectors past the end of a data file that was cut short as read and
    // leaves them as they were. Filled first, a sector that ends in the filling is read again over
    // another one: the bytes that held each filling in turn were never read. A sector never read is
    // a failed read, not audio; the unread end of a file's last sector is silence.
    constexpr uint8_t kFirstFill = 0xA5, kSecondFill = 0x5A;
    std::memset(out, kFirstFill, static_cast<size_t>(count) * kSectorBytes);
    if (!readInto(lsn, count, out)) return false;
    std::vector<uint8_t> again(kSectorBytes);
    for (int i = 0; i < count; ++i) {
        uint8_t *sector = out + static_cast<size_t>(i) * kSectorBytes;
        if (sector[kSectorBytes - 1] != kFirstFill) continue;
        std::fill(again.begin(), again.end(), kSecondFill);
        if (!readInto(lsn + i, 1, again.data())) return false;
        int unread = 0;
        for (int b = 0; b < kSectorBytes; ++b)
            if (sector[b] == kFirstFill && again[static_cast<size_t>(b)] == kSecondFill)
                sector[b] = 0, ++unread;
        if (unread == kSectorBytes) return false;
    }
    return true;
}

bool CdioSource::eject() {
    if (!m_device || !m_handle) return false;
    // cdio_eject_media frees the handle when the door opens and leaves it when it does not.
    CdIo_t *raw = m_handle.release();
    driver_return_code_t result = cdio_eject_media(&raw);
    if (raw) m_handle.reset(raw);
    m_tocFresh = false;
    return result == DRIVER_OP_SUCCESS;
}

} // namespace platform
