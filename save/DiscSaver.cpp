#include "save/DiscSaver.h"

#include "platform/GuardFolder.h"
#include "platform/backends/SectorSource.h"
#include "save/FlacFile.h"
#include "save/SavePlan.h"
#include "save/SaveSource.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace save {

namespace {

constexpr int kChunkSectors = 75;       // one second of audio a read
constexpr std::size_t kQueueChunks = 8; // read ahead of each encoder: bounds the memory
constexpr int kMaxRereads = 3;          // whole reads of a drive's track beyond the two compared
constexpr int kPregapSeconds = 30;      // a drive that cannot read the first pregap in this long skips it
constexpr int kProgressMs = 100;
constexpr int kFramesPerSector = platform::kSectorBytes / 4;

std::mutex g_deviceMutex;
QString g_device; // the drive being saved in this process

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

uint32_t crcOf(uint32_t crc, const uint8_t *bytes, std::size_t size) {
    return static_cast<uint32_t>(crc32(crc, bytes, static_cast<uInt>(size)));
}

// A file system that does not know the flag (FUSE: sshfs, gvfs, ntfs-3g, bindfs) refuses it thus.
bool flagUnknown(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// Removes the temporary files that saves of this program left in `folder` when they were killed:
// those named as a save names them, by a process that is no longer there. Nothing else is touched.
void removeLeftovers(const QString &folder) {
    static const QRegularExpression name(R"(^\.tunewick-save-(\d+)-(side)?\d+\.part$)");
    const QDir dir(folder);
    for (const QString &file : dir.entryList({".tunewick-save-*.part"}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = name.match(file);
        bool number = false;
        const pid_t pid = match.hasMatch() ? match.captured(1).toInt(&number) : 0;
        if (!number || pid <= 0 || pid == getpid()) continue;
        if (::kill(pid, 0) == -1 && errno == ESRCH && !QFileInfo(dir.filePath(file)).isSymLink())
            QFile::remove(dir.filePath(file));
    }
}

// Why a save stopped early.
struct Stop {
    Outcome outcome;
    QString message;
    QStringList existing = {}; // FilesExist: the files in the way
};

// One read of one track into its file: the reader fills a bounded queue, an encoder thread of its
// own checksums and encodes it.
struct Job {
    SavePlan::Track track;
    QString tempPath;
    int fd = -1;
    std::unique_ptr<TrackSink> sink;
    uint32_t crc = 0;
    int nextSector = 0; // relative to the span: the reader's position

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<uint8_t>> queue;
    bool ended = false; // the reader has put the last chunk
    bool done = false;  // the encoder has finished (well or not)
    bool failed = false;
    int error = 0; // errno of a failed write
    std::thread thread;
};

} // namespace

bool renameNoReplace(const char *from, const char *to, int (*linkFile)(const char *, const char *)) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (!flagUnknown(errno)) return false;
    // A second name fails when the name is taken, as the flag would; then the temporary one goes.
    if (linkFile(from, to) == 0) {
        ::unlink(from);
        return true;
    }
    if (errno == EEXIST) return false;
    // No links either (some FUSE file systems, vfat): look first. Only another program making the
    // same name in the moment between could still be replaced.
    struct stat there {};
    if (::lstat(to, &there) == 0) {
        errno = EEXIST;
        return false;
    }
    return errno == ENOENT && ::rename(from, to) == 0;
}

struct DiscSaver::Run {
    SaveOptions options;
    std::shared_ptr<SaveCheck> check;
    QPointer<DiscSaver> owner;
    std::atomic<bool> cancelled{false};
    std::thread thread;

    // Worker side.
    OpenedSource opened;
    SavePlan plan;
    QByteArray cover;
    QStringList notes;
    QStringList notices; // those of the notes that the user is shown too
    std::vector<TrackResult> results;
    std::vector<std::unique_ptr<TrackSink>> sinks;
    bool hiddenWritten = false;
    HiddenAudio hiddenAudio = HiddenAudio::None;
    QStringList madeFolders;    // folders made for the files, the deepest first
    bool awaitingCheck = false; // the files are written; the check's notes are awaited (caller's thread)
    int lockFd = -1;
    qint64 framesDone = 0;
    qint64 framesTotal = 0;
    QElapsedTimer clock;
    qint64 lastProgress = -kProgressMs;
    std::condition_variable space; // some job's queue has room, or a job has ended
    std::mutex spaceMutex;

    void post(std::function<void(DiscSaver &)> call) {
        QMetaObject::invokeMethod(
            owner.data(),
            [owner = owner, call = std::move(call)] {
                if (owner) call(*owner);
            },
            Qt::QueuedConnection);
    }

    void work();
    std::optional<Stop> prepare();
    std::optional<Stop> readHidden();
    std::optional<Stop> saveImage();
    std::optional<Stop> saveDriveTrack(const SavePlan::Track &track);
    std::optional<Stop> readInto(int lsn, int count, uint8_t *out, std::vector<bool> *lost);
    std::optional<Stop> startJob(Job &job, const SavePlan::Track &track);
    void encode(Job &job);
    void wakeReader();
    std::optional<Stop> finishJob(Job &job, TrackResult &result, bool cancellable = true);
    void dropJob(Job &job);
    std::optional<Stop> writeSide(const QString &name, const QByteArray &bytes);
    void reportProgress(int track, qint64 trackDone, qint64 trackTotal);
    void end(Outcome outcome, const QString &message, const QStringList &existing = {});
    void noteFoldersToMake();
    void conclude();
    void addDataTracks();
    void writeLog(const QStringList &discLines, const std::vector<TrackNote> &notesOfCheck);
    bool lock();
    void unlock();
};

// --- the lock: one save at a time per user -------------------------------------------------------

bool DiscSaver::Run::lock() {
    // In a folder of the user's own: at a name any user could make first, another user could hold
    // the lock and stop every save.
    const QByteArray folder = guardFolder();
    if (folder.isEmpty()) return true; // no lock file to be had: the save goes on unguarded
    const QByteArray path = folder + "/cd-tunewick32-save-" + QByteArray::number(getuid()) + ".lock";
    lockFd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd < 0) return true; // no lock file to be had: the save goes on unguarded
    if (flock(lockFd, LOCK_EX | LOCK_NB) == 0) return true;
    ::close(lockFd);
    lockFd = -1;
    return false;
}

void DiscSaver::Run::unlock() {
    if (lockFd >= 0) ::close(lockFd);
    lockFd = -1;
    std::lock_guard guard(g_deviceMutex);
    if (!opened.device.isEmpty() && g_device == opened.device) g_device.clear();
}

// --- the worker ----------------------------------------------------------------------------------

void DiscSaver::Run::work() {
    clock.start();
    if (!lock()) return end(Outcome::AnotherSave, tr("ほかのディスクの保存が終わるまで保存できません"));
    if (std::optional<Stop> stop = prepare()) return end(stop->outcome, stop->message, stop->existing);
    std::optional<Stop> stop = readHidden();
    if (!stop) {
        if (opened.layout.drive) {
            for (const SavePlan::Track &track : plan.tracks)
                if (track.span.track > 0 && (stop = saveDriveTrack(track))) break;
        } else {
            stop = saveImage();
        }
    }
    if (!stop && cancelled) stop = Stop{Outcome::Cancelled, tr("保存を取り消しました")};
    if (stop) return end(stop->outcome, stop->message);
    if (!cover.isEmpty()) stop = writeSide(coverFileName(options.metadata.coverPath), cover);
    if (!stop) stop = writeSide(plan.cueName, cueSheet(plan, opened.layout, options.metadata, hiddenWritten));
    if (stop) return end(stop->outcome, stop->message);
    post([](DiscSaver &saver) { saver.m_run->conclude(); });
}

std::optional<Stop> DiscSaver::Run::prepare() {
    QString reason;
    opened = openSource(options, reason);
    if (!opened.source) return Stop{Outcome::NoDisc, reason};
    if (!opened.device.isEmpty()) {
        std::lock_guard guard(g_deviceMutex);
        g_device = opened.device;
    }
    if (options.completeMetadata)
        notes << (notices = options.completeMetadata(opened.layout, options.metadata));
    plan = SavePlan::make(opened.layout, options.metadata, options.folder);
    removeLeftovers(plan.albumFolder);
    if (!options.overwrite) {
        const QStringList existing = existingFiles(opened.layout, options.metadata, options.folder);
        if (!existing.isEmpty())
            return Stop{Outcome::FilesExist,
                        tr("同じ名前のファイルが %1 個あるので保存しません").arg(existing.size()), existing};
    }
    noteFoldersToMake();
    if (!QDir().mkpath(plan.albumFolder) ||
        access(QFile::encodeName(plan.albumFolder).constData(), W_OK) != 0)
        return Stop{Outcome::Unwritable, tr("フォルダー %1 に書き込めません").arg(plan.albumFolder)};
    if (!options.metadata.coverPath.isEmpty()) {
        QFile file(options.metadata.coverPath);
        if (file.open(QIODevice::ReadOnly) && file.size() < 32 * 1024 * 1024) cover = file.readAll();
        if (FlacFile::coverType(cover).isEmpty()) cover.clear();
    }
    for (const int track : plan.dataTracks)
        notes << tr("トラック %1 はデータトラックなので保存しません").arg(track);
    for (const SavePlan::Track &track : plan.tracks) // the hidden track counts once it is found
        if (track.span.track > 0) framesTotal += qint64(track.span.sectors) * kFramesPerSector;
    post([layout = opened.layout](DiscSaver &saver) {
        if (saver.m_run->check) saver.m_run->check->discKnown(layout);
        Q_EMIT saver.discKnown(layout);
    });
    return std::nullopt;
}

// The album folder, and the artist's above it, that this save makes: a save that writes nothing
// takes them away again. The folder the user chose stays.
void DiscSaver::Run::noteFoldersToMake() {
    const QString top = QDir::cleanPath(QFileInfo(options.folder).absoluteFilePath());
    for (QFileInfo folder(plan.albumFolder); !folder.exists() && folder.absoluteFilePath() != top;
         folder = QFileInfo(folder.absolutePath())) {
        madeFolders << folder.absoluteFilePath();
        if (folder.absoluteFilePath() == folder.absolutePath()) break; // the root
    }
}

void DiscSaver::Run::end(Outcome outcome, const QString &message, const QStringList &existing) {
    for (const QString &folder : madeFolders) // the deepest first; only an empty folder goes
        if (!QDir().rmdir(folder)) break;
    unlock();
    SaveResult result;
    result.outcome = outcome;
    result.message = message;
    result.existing = existing;
    result.albumFolder = plan.albumFolder;
    result.tracks = results;
    result.notices = notices;
    result.hidden = hiddenAudio;
    post([result](DiscSaver &saver) {
        if (saver.m_run->check) saver.m_run->check->abandon();
        saver.m_run->thread.join();
        Q_EMIT saver.finished(result);
    });
}

// --- reading -------------------------------------------------------------------------------------

// Reads `count` sectors from `lsn` as they sit on the disc, the drive's read offset applied:
// sectors outside the audio (before 0, past its end) are silence. `lost`, when given, marks the
// sectors that did not read (filled with silence); without it a failed read stops the save.
std::optional<Stop> DiscSaver::Run::readInto(int lsn, int count, uint8_t *out, std::vector<bool> *lost) {
    const platform::TableOfContents &toc = opened.layout.toc;
    const int audioEnd = toc.audioEndFrom(toc.lastAudioTrack());
    const long long shift = static_cast<long long>(opened.layout.readOffset) * 4;
    const long long firstByte = static_cast<long long>(lsn) * platform::kSectorBytes + shift;
    const int firstSector =
        static_cast<int>(firstByte >= 0 ? firstByte / platform::kSectorBytes
                                        : (firstByte - platform::kSectorBytes + 1) / platform::kSectorBytes);
    const int skip =
        static_cast<int>(firstByte - static_cast<long long>(firstSector) * platform::kSectorBytes);
    const int sectors = count + (skip > 0 ? 1 : 0);
    std::vector<uint8_t> buffer(static_cast<size_t>(sectors) * platform::kSectorBytes, 0);
    std::vector<bool> missing(static_cast<size_t>(sectors), false);
    const int from = std::max(firstSector, 0), to = std::min(firstSector + sectors, audioEnd);
    for (int at = from; at < to;) {
        if (cancelled) return Stop{Outcome::Cancelled, tr("保存を取り消しました")};
        const int n = std::min(kChunkSectors, to - at);
        uint8_t *into = buffer.data() + static_cast<size_t>(at - firstSector) * platform::kSectorBytes;
        if (!opened.source->read(at, n, into)) {
            platform::TableOfContents now;
            if (opened.source->poll(now) != platform::MediaState::Ready || now.trackStart != toc.trackStart)
                return Stop{Outcome::DiscRemoved, tr("ディスクが取り出されました")};
            if (!lost)
                return Stop{
                    Outcome::SourceCutShort,
                    tr("%1 の音声がセクタ %2 で途切れています").arg(opened.layout.sourceName).arg(at)};
            for (int one = at; one < at + n; ++one) { // find the sectors that do not read
                uint8_t *sector =
                    buffer.data() + static_cast<size_t>(one - firstSector) * platform::kSectorBytes;
                if (!opened.source->read(one, 1, sector)) {
                    std::memset(sector, 0, platform::kSectorBytes);
                    missing[static_cast<size_t>(one - firstSector)] = true;
                }
            }
        }
        at += n;
    }
    std::memcpy(out, buffer.data() + skip, static_cast<size_t>(count) * platform::kSectorBytes);
    if (lost)
        for (int i = 0; i < count; ++i)
            (*lost)[static_cast<size_t>(i)] =
                missing[static_cast<size_t>(i)] || (skip > 0 && missing[static_cast<size_t>(i) + 1]);
    return std::nullopt;
}

// Hidden audio before track 1: read it once to see whether it is digital silence. A drive that
// cannot read the pregap within the time limit skips it.
std::optional<Stop> DiscSaver::Run::readHidden() {
    if (plan.tracks.empty() || plan.tracks.front().span.track != 0) return std::nullopt;
    const SavePlan::Track hidden = plan.tracks.front();
    plan.tracks.erase(plan.tracks.begin());
    QElapsedTimer timer;
    timer.start();
    std::vector<uint8_t> chunk(static_cast<size_t>(kChunkSectors) * platform::kSectorBytes);
    std::vector<bool> lost(kChunkSectors);
    bool silent = true;
    for (int at = 0; at < hidden.span.sectors && silent; at += kChunkSectors) {
        const int n = std::min(kChunkSectors, hidden.span.sectors - at);
        std::optional<Stop> stop = readInto(at, n, chunk.data(), opened.layout.drive ? &lost : nullptr);
        if (stop) return stop;
        const bool unreadable = std::any_of(lost.begin(), lost.begin() + n, [](bool b) { return b; });
        if (unreadable || timer.elapsed() > kPregapSeconds * 1000) {
            notes << tr("トラック 1 の前のプリギャップは %1 秒以内に読めなかったので飛ばしました")
                         .arg(kPregapSeconds);
            hiddenAudio = HiddenAudio::Skipped;
            return std::nullopt;
        }
        silent = std::all_of(chunk.begin(), chunk.begin() + static_cast<long>(n) * platform::kSectorBytes,
                             [](uint8_t b) { return b == 0; });
    }
    if (silent) {
        notes << tr("トラック 1 の前のプリギャップは無音なので、キューシートに PREGAP として書きました");
        hiddenAudio = HiddenAudio::Silent;
        return std::nullopt;
    }
    notes << tr("トラック 1 の前に隠れた音声があるので、%1 に保存しました").arg(hidden.fileName);
    hiddenWritten = true;
    hiddenAudio = HiddenAudio::Saved;
    plan.tracks.insert(plan.tracks.begin(), hidden);
    framesTotal += qint64(hidden.span.sectors) * kFramesPerSector;
    if (opened.layout.drive) return saveDriveTrack(hidden);
    return std::nullopt; // an image's hidden track is saved with the other tracks
}

void DiscSaver::Run::reportProgress(int track, qint64 trackDone, qint64 trackTotal) {
    const qint64 now = clock.elapsed();
    if (now - lastProgress < kProgressMs && trackDone < trackTotal) return;
    lastProgress = now;
    SaveProgress progress{track, trackDone, trackTotal, framesDone, framesTotal, -1};
    if (framesDone > 0 && now > 1000)
        progress.secondsLeft = static_cast<int>(now * (framesTotal - framesDone) / framesDone / 1000);
    post([progress](DiscSaver &saver) { Q_EMIT saver.progress(progress); });
}

// --- encoding ------------------------------------------------------------------------------------

std::optional<Stop> DiscSaver::Run::startJob(Job &job, const SavePlan::Track &track) {
    job.track = track;
    static std::atomic<int> serial{0};
    for (int attempt = 0; attempt < 100 && job.fd < 0; ++attempt) {
        job.tempPath =
            QDir(plan.albumFolder).filePath(QString(".tunewick-save-%1-%2.part").arg(getpid()).arg(serial++));
        job.fd = ::open(QFile::encodeName(job.tempPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                        0644);
        if (job.fd < 0 && errno != EEXIST) break;
    }
    if (job.fd < 0) {
        const int error = errno;
        if (error == ENOSPC || error == EDQUOT)
            return Stop{Outcome::DiskFull, tr("保存先に空きがありません")};
        return Stop{Outcome::Unwritable,
                    tr("フォルダー %1 に書き込めません: %2").arg(plan.albumFolder, errorText(error))};
    }
    job.sink = check ? check->sinkFor(track.span) : nullptr;
    job.thread = std::thread([this, &job] { encode(job); });
    return std::nullopt;
}

void DiscSaver::Run::encode(Job &job) {
    FlacFile flac;
    bool ok = flac.begin(job.fd, qint64(job.track.span.sectors) * kFramesPerSector,
                         trackTags(plan, job.track, opened.layout, options.metadata), cover);
    for (;;) {
        std::vector<uint8_t> chunk;
        {
            std::unique_lock lock(job.mutex);
            job.changed.wait(lock, [&job] { return !job.queue.empty() || job.ended; });
            if (job.queue.empty()) break;
            chunk = std::move(job.queue.front());
            job.queue.pop_front();
        }
        wakeReader();
        if (!ok || cancelled) continue; // drain what the reader still puts
        const auto *samples = reinterpret_cast<const int16_t *>(chunk.data());
        const std::size_t frames = chunk.size() / 4;
        job.crc = crcOf(job.crc, chunk.data(), chunk.size());
        if (job.sink) job.sink->samples(samples, frames);
        ok = flac.write(samples, frames);
    }
    ok = ok && !cancelled && flac.finish();
    {
        std::lock_guard lock(job.mutex);
        job.failed = !ok;
        job.error = flac.error();
        job.done = true;
    }
    wakeReader();
}

// Taking the mutex first means a reader between its look at the queues and its wait cannot miss this.
void DiscSaver::Run::wakeReader() {
    { std::lock_guard lock(spaceMutex); }
    space.notify_all();
}

void DiscSaver::Run::dropJob(Job &job) {
    {
        std::lock_guard lock(job.mutex);
        job.ended = true;
    }
    job.changed.notify_all();
    if (job.thread.joinable()) job.thread.join();
    if (job.fd >= 0) ::close(job.fd);
    job.fd = -1;
    if (!job.tempPath.isEmpty()) QFile::remove(job.tempPath);
    job.tempPath.clear();
}

// Ends a job whose reading is done: waits for its encoder and gives the file its final name.
std::optional<Stop> DiscSaver::Run::finishJob(Job &job, TrackResult &result, bool cancellable) {
    {
        std::lock_guard lock(job.mutex);
        job.ended = true;
    }
    job.changed.notify_all();
    if (job.thread.joinable()) job.thread.join();
    if (job.failed || (cancellable && cancelled)) {
        const int error = job.error;
        dropJob(job);
        if (cancellable && cancelled) return Stop{Outcome::Cancelled, tr("保存を取り消しました")};
        if (error == ENOSPC || error == EDQUOT || error == EFBIG)
            return Stop{Outcome::DiskFull, tr("保存先に空きがありません (%1)").arg(errorText(error))};
        return Stop{Outcome::Unwritable, error ? tr("ファイルを書けません: %1").arg(errorText(error))
                                               : tr("FLAC に符号化できませんでした")};
    }
    ::close(job.fd);
    job.fd = -1;
    const QString final = QDir(plan.albumFolder).filePath(job.track.fileName);
    const QByteArray from = QFile::encodeName(job.tempPath), to = QFile::encodeName(final);
    const bool renamed = options.overwrite ? ::rename(from.constData(), to.constData()) == 0
                                           : renameNoReplace(from.constData(), to.constData());
    if (!renamed) {
        const int error = errno;
        dropJob(job);
        if (error == EEXIST)
            return Stop{Outcome::FilesExist, tr("同じ名前のファイルがあります: %1").arg(final)};
        return Stop{Outcome::Unwritable, tr("%1 を書けません: %2").arg(final, errorText(error))};
    }
    job.tempPath.clear();
    result.file = final;
    result.crc = job.crc;
    return std::nullopt;
}

std::optional<Stop> DiscSaver::Run::writeSide(const QString &name, const QByteArray &bytes) {
    Job job;
    SavePlan::Track none;
    none.fileName = name;
    std::optional<Stop> stop;
    for (int attempt = 0; attempt < 100 && job.fd < 0; ++attempt) {
        job.tempPath = QDir(plan.albumFolder)
                           .filePath(QString(".tunewick-save-%1-side%2.part").arg(getpid()).arg(attempt));
        job.fd = ::open(QFile::encodeName(job.tempPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                        0644);
    }
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (job.fd >= 0 && left > 0) {
        const ssize_t written = ::write(job.fd, data, static_cast<size_t>(left));
        if (written <= 0) break;
        data += written;
        left -= written;
    }
    if (job.fd < 0 || left > 0 || fsync(job.fd) != 0) {
        const int error = errno;
        dropJob(job);
        if (error == ENOSPC || error == EDQUOT || error == EFBIG)
            return Stop{Outcome::DiskFull, tr("保存先に空きがありません (%1)").arg(errorText(error))};
        return Stop{Outcome::Unwritable, tr("%1 を書けません: %2").arg(name, errorText(error))};
    }
    job.track = none;
    TrackResult ignored;
    job.failed = false;
    job.done = true;
    job.ended = true;
    return finishJob(job, ignored, false); // a cancel that comes this late leaves the files whole
}

// Images, rips and the demo disc: every track read once, several encoded at the same time, the
// reader going round the open tracks a second at a time.
std::optional<Stop> DiscSaver::Run::saveImage() {
    const int parallel =
        options.threads > 0 ? options.threads : std::max(1, int(std::thread::hardware_concurrency()));
    std::deque<std::unique_ptr<Job>> active;
    std::size_t next = 0;
    std::optional<Stop> stop;
    auto resultFor = [](const SavePlan::Track &track) {
        TrackResult result;
        result.span = track.span;
        return result;
    };
    while (!stop && (next < plan.tracks.size() || !active.empty())) {
        while (active.size() < static_cast<size_t>(parallel) && next < plan.tracks.size()) {
            auto job = std::make_unique<Job>();
            if ((stop = startJob(*job, plan.tracks[next++]))) break;
            active.push_back(std::move(job));
        }
        if (stop) break;
        bool progressed = false;
        for (auto &job : active) {
            const TrackSpan &span = job->track.span;
            if (job->nextSector >= span.sectors) continue;
            {
                std::lock_guard lock(job->mutex);
                if (job->queue.size() >= kQueueChunks) continue;
            }
            const int n = std::min(kChunkSectors, span.sectors - job->nextSector);
            std::vector<uint8_t> chunk(static_cast<size_t>(n) * platform::kSectorBytes);
            if ((stop = readInto(span.firstSector + job->nextSector, n, chunk.data(), nullptr))) break;
            job->nextSector += n;
            framesDone += qint64(n) * kFramesPerSector;
            {
                std::lock_guard lock(job->mutex);
                job->queue.push_back(std::move(chunk));
                job->ended = job->nextSector >= span.sectors;
            }
            job->changed.notify_all();
            progressed = true;
            reportProgress(span.track, qint64(job->nextSector) * kFramesPerSector,
                           qint64(span.sectors) * kFramesPerSector);
        }
        if (stop) break;
        // The tracks get their files in the disc's order, each once its encoder is through.
        auto frontDone = [&active] {
            std::lock_guard lock(active.front()->mutex);
            return active.front()->done;
        };
        if (!active.empty() && frontDone()) {
            TrackResult result = resultFor(active.front()->track);
            if ((stop = finishJob(*active.front(), result))) break;
            result.state = TrackState::Written;
            results.push_back(result);
            sinks.push_back(std::move(active.front()->sink));
            post([result](DiscSaver &saver) { Q_EMIT saver.trackFinished(result); });
            active.pop_front();
            continue;
        }
        if (!progressed) { // nothing to read now: wait for an encoder to take a chunk or to finish
            auto canAct = [&active, &frontDone] {
                return frontDone() ||
                       std::any_of(active.begin(), active.end(), [](const std::unique_ptr<Job> &job) {
                           std::lock_guard lock(job->mutex);
                           return job->nextSector < job->track.span.sectors &&
                                  job->queue.size() < kQueueChunks;
                       });
            };
            std::unique_lock lock(spaceMutex);
            space.wait_for(lock, std::chrono::milliseconds(100), canAct);
        }
    }
    for (auto &job : active)
        dropJob(*job);
    return stop;
}

// A drive's track: read and encoded, read again and compared sector by sector; on a difference
// read (and encoded) again until two whole reads agree, a bounded number of times. Sectors that
// never read the same are named; the last copy is kept.
std::optional<Stop> DiscSaver::Run::saveDriveTrack(const SavePlan::Track &track) {
    const TrackSpan &span = track.span;
    const auto sectors = static_cast<size_t>(span.sectors);
    std::vector<std::vector<uint32_t>> reads; // per read, per sector: CRC32
    std::vector<std::vector<bool>> lostReads; // per read, per sector: did not read
    auto readOnce = [&](Job *job) -> std::optional<Stop> {
        std::vector<uint32_t> crcs(sectors);
        std::vector<bool> lost(sectors);
        std::vector<uint8_t> chunk;
        std::vector<bool> chunkLost(kChunkSectors);
        for (int at = 0; at < span.sectors; at += kChunkSectors) {
            const int n = std::min(kChunkSectors, span.sectors - at);
            chunk.assign(static_cast<size_t>(n) * platform::kSectorBytes, 0);
            if (std::optional<Stop> stop = readInto(span.firstSector + at, n, chunk.data(), &chunkLost))
                return stop;
            for (int i = 0; i < n; ++i) {
                crcs[static_cast<size_t>(at + i)] =
                    crcOf(0, chunk.data() + static_cast<size_t>(i) * platform::kSectorBytes,
                          platform::kSectorBytes);
                lost[static_cast<size_t>(at + i)] = chunkLost[static_cast<size_t>(i)];
            }
            if (job) {
                std::unique_lock lock(job->mutex);
                job->changed.wait(lock, [job] { return job->queue.size() < kQueueChunks; });
                job->queue.push_back(chunk);
                lock.unlock();
                job->changed.notify_all();
                if (reads.empty()) framesDone += qint64(n) * kFramesPerSector;
            }
            reportProgress(span.track, qint64(at + n) * kFramesPerSector,
                           qint64(span.sectors) * kFramesPerSector);
        }
        reads.push_back(std::move(crcs));
        lostReads.push_back(std::move(lost));
        return std::nullopt;
    };
    auto agree = [&](size_t a, size_t b) {
        for (size_t s = 0; s < sectors; ++s)
            if (lostReads[a][s] || lostReads[b][s] || reads[a][s] != reads[b][s]) return false;
        return true;
    };
    // The CRC32 of a whole read, from its sectors' CRCs.
    auto wholeCrc = [](const std::vector<uint32_t> &crcs) {
        uLong crc = 0;
        for (uint32_t sector : crcs)
            crc = crc32_combine(crc, sector, platform::kSectorBytes);
        return static_cast<uint32_t>(crc);
    };
    size_t partner = 0; // the read that agreed with the copy

    TrackResult result;
    result.span = span;
    std::unique_ptr<Job> job;
    std::optional<Stop> stop;
    bool settled = false;
    for (int attempt = 0; attempt <= kMaxRereads + 1 && !settled; ++attempt) {
        if (attempt != 1) { // every read but the second one is encoded
            if (job) dropJob(*job);
            job = std::make_unique<Job>();
            if ((stop = startJob(*job, track)) || (stop = readOnce(job.get()))) break;
        } else if ((stop = readOnce(nullptr))) {
            break;
        }
        if (attempt == 0) continue;
        const size_t last = reads.size() - 1;
        for (size_t earlier = 0; earlier < last && !settled; ++earlier)
            if ((settled = agree(earlier, last))) partner = attempt == 1 ? last : earlier;
        if (attempt >= 2) result.rereads = attempt - 1;
        if (settled && attempt == 1) break;
    }
    if (stop) {
        if (job) dropJob(*job);
        return stop;
    }
    // The copy kept is the last encoded read. A sector of it that no other read gave back the same
    // is named as unreadable; one that some read gave otherwise, as read again.
    const size_t copy = settled && reads.size() == 2 ? 0 : reads.size() - 1;
    for (size_t s = 0; s < sectors; ++s) {
        bool confirmed = false, differed = false;
        for (size_t other = 0; other < reads.size(); ++other) {
            if (other == copy) continue;
            const bool same =
                !lostReads[copy][s] && !lostReads[other][s] && reads[other][s] == reads[copy][s];
            confirmed = confirmed || same;
            differed = differed || !same;
        }
        const int sector = span.firstSector + static_cast<int>(s);
        if (!confirmed)
            result.badSectors.push_back(sector);
        else if (differed)
            result.rereadSectors.push_back(sector);
    }
    if ((stop = finishJob(*job, result))) return stop;
    // Unsettled, the test read is the one before the copy.
    result.testCrc = wholeCrc(reads[settled ? partner : reads.size() - 2]);
    result.state = result.badSectors.empty() ? TrackState::Written : TrackState::Unreadable;
    results.push_back(result);
    sinks.push_back(std::move(job->sink));
    post([result](DiscSaver &saver) { Q_EMIT saver.trackFinished(result); });
    return std::nullopt;
}

// --- the end, on the caller's thread -------------------------------------------------------------

// Data tracks take their place among the results, as not saved and without a sink.
void DiscSaver::Run::addDataTracks() {
    for (const int number : plan.dataTracks) {
        TrackResult result;
        result.span.track = number;
        result.span.firstSector = opened.layout.toc.startOf(number);
        result.span.sectors = opened.layout.toc.endOf(number) - result.span.firstSector;
        result.state = TrackState::Skipped;
        const auto at = std::find_if(results.begin(), results.end(),
                                     [number](const TrackResult &r) { return r.span.track > number; });
        sinks.insert(sinks.begin() + (at - results.begin()), nullptr);
        results.insert(at, result);
    }
}

void DiscSaver::Run::conclude() {
    addDataTracks();
    if (!check) return writeLog({}, {});
    awaitingCheck = true;
    QPointer<DiscSaver> guard = owner;
    std::weak_ptr<Run> run = owner->m_run;
    check->conclude(results, std::move(sinks),
                    [guard, run](const QStringList &lines, const std::vector<TrackNote> &notes) {
                        const std::shared_ptr<Run> alive = run.lock();
                        if (guard && alive && guard->m_run == alive && alive->awaitingCheck)
                            alive->writeLog(lines, notes);
                    });
}

// The log is written on a thread of its own (a sync of a busy disk takes a while); finished()
// follows from the caller's thread.
void DiscSaver::Run::writeLog(const QStringList &discLines, const std::vector<TrackNote> &notesOfCheck) {
    awaitingCheck = false;
    for (size_t i = 0; i < results.size() && i < notesOfCheck.size(); ++i)
        results[i].note = notesOfCheck[i];
    const bool whole = std::none_of(results.begin(), results.end(),
                                    [](const TrackResult &r) { return r.state == TrackState::Unreadable; });
    LogFacts facts{QDateTime::currentDateTimeUtc(), discLines, notes,
                   whole ? tr("結果: すべてのトラックを正しく読んで保存しました")
                         : tr("結果: 読めないセクタのあるトラックがあります")};
    const QByteArray log = saveLog(plan, opened.layout, options.metadata, results, facts);
    if (thread.joinable()) thread.join(); // the reader, which has ended already
    thread = std::thread([this, log, whole] {
        const std::optional<Stop> stop = writeSide(plan.logName, log);
        unlock();
        SaveResult result;
        result.outcome = stop ? stop->outcome : whole ? Outcome::Ok : Outcome::UnreadableSectors;
        result.message = stop    ? stop->message
                         : whole ? QString()
                                 : tr("読めないセクタがあります (記録を見てください)");
        result.albumFolder = plan.albumFolder;
        result.logFile = stop ? QString() : QDir(plan.albumFolder).filePath(plan.logName);
        result.cueFile = QDir(plan.albumFolder).filePath(plan.cueName);
        result.tracks = results;
        result.notices = notices;
        result.hidden = hiddenAudio;
        post([result](DiscSaver &saver) {
            saver.m_run->thread.join();
            Q_EMIT saver.finished(result);
        });
    });
}

// --- the object ----------------------------------------------------------------------------------

DiscSaver::DiscSaver(QObject *parent) : QObject(parent) {}

DiscSaver::~DiscSaver() {
    if (!m_run) return;
    m_run->cancelled = true;
    if (m_run->thread.joinable()) m_run->thread.join();
    m_run->unlock();
}

void DiscSaver::setCheck(std::shared_ptr<SaveCheck> check) {
    m_check = std::move(check);
}

bool DiscSaver::start(const SaveOptions &options) {
    if (running()) return false;
    // A write past a file-size limit fails with EFBIG instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    m_run = std::make_shared<Run>();
    m_run->options = options;
    m_run->check = m_check;
    m_run->owner = this;
    Run *run = m_run.get();
    m_run->thread = std::thread([run] { run->work(); });
    return true;
}

void DiscSaver::cancel() {
    if (!m_run) return;
    m_run->cancelled = true;
    // Every file is written: the log goes without what the check has not said yet.
    if (m_run->awaitingCheck && !m_run->check->concludeNow()) {
        m_run->check->abandon();
        m_run->writeLog({}, {});
    }
}

bool DiscSaver::running() const {
    return m_run && (m_run->thread.joinable());
}

QStringList DiscSaver::plannedFiles(const DiscLayout &disc, const SaveMetadata &metadata,
                                    const QString &folder) {
    const SavePlan plan = SavePlan::make(disc, metadata, folder);
    const QDir album(plan.albumFolder);
    QStringList files;
    for (const SavePlan::Track &track : plan.tracks)
        files << album.filePath(track.fileName);
    files << album.filePath(plan.cueName) << album.filePath(plan.logName);
    if (!metadata.coverPath.isEmpty()) files << album.filePath(coverFileName(metadata.coverPath));
    return files;
}

QStringList DiscSaver::existingFiles(const DiscLayout &disc, const SaveMetadata &metadata,
                                     const QString &folder) {
    QStringList existing;
    for (const QString &file : plannedFiles(disc, metadata, folder))
        if (QFileInfo(file).exists() || QFileInfo(file).isSymLink()) existing << file;
    return existing;
}

QString DiscSaver::deviceInUse() {
    std::lock_guard guard(g_deviceMutex);
    return g_device;
}

int DiscLayout::gapOf(int track) const {
    if (!toc.hasTrack(track)) return 0;
    const int first = index0.at(static_cast<size_t>(track - toc.firstTrack));
    return first >= 0 ? toc.startOf(track) - first : 0;
}

int DiscLayout::firstPregap() const {
    return toc.trackCount() > 0 ? std::max(0, toc.startOf(toc.firstTrack)) : 0;
}

} // namespace save
