#include "save/SaveSource.h"

#include "online/DiscId.h"
#include "platform/Messages.h"
#include "platform/backends/CdioSource.h"
#include "platform/backends/CueSheet.h"
#include "platform/backends/DemoDisc.h"
#include "platform/backends/HotPlugSource.h"
#include "platform/backends/RipSource.h"
#include "platform/backends/TocNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <cstring>
#include <sys/stat.h>

namespace save {

namespace {

constexpr int kParanoiaRetries = 20; // per sector, before paranoia gives the sector up

// Paranoia's callback has no context argument: the reading thread's own flag says whether the
// sector just read was given up.
thread_local bool t_sectorLost = false;

void paranoiaEvent(long, paranoia_cb_mode_t mode) {
    if (mode == PARANOIA_CB_SKIP || mode == PARANOIA_CB_READERR) t_sectorLost = true;
}

// A CD drive read through libcdio-paranoia in its full mode. A sector that paranoia gives up after
// its retries makes the read fail, so that the save re-reads and, at last, names it.
class ParanoiaSource : public platform::SectorSource {
public:
    static std::shared_ptr<ParanoiaSource> open(const std::string &path, QString &reason) {
        auto source = std::shared_ptr<ParanoiaSource>(new ParanoiaSource(path));
        source->m_cdio = cdio_open(path.c_str(), DRIVER_DEVICE);
        if (!source->m_cdio || !platform::CdioSource::readToc(source->m_cdio, source->m_toc)) {
            reason = DiscSaver::tr("ドライブ %1 にディスクがありません").arg(QString::fromStdString(path));
            return nullptr;
        }
        source->m_drive = cdio_cddap_identify_cdio(source->m_cdio, CDDA_MESSAGE_FORGETIT, nullptr);
        if (!source->m_drive || cdio_cddap_open(source->m_drive) != 0) {
            reason = DiscSaver::tr("ドライブ %1 から音楽を読めません").arg(QString::fromStdString(path));
            return nullptr;
        }
        source->m_paranoia = cdio_paranoia_init(source->m_drive);
        cdio_paranoia_modeset(source->m_paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        return source;
    }

    ~ParanoiaSource() override {
        if (m_paranoia) cdio_paranoia_free(m_paranoia);
        if (m_drive) cdio_cddap_close_no_free_cdio(m_drive);
        if (m_cdio) cdio_destroy(m_cdio);
    }

    platform::MediaState poll(platform::TableOfContents &toc) override {
        platform::TableOfContents now;
        if (!platform::CdioSource::readToc(m_cdio, now) || now.trackStart != m_toc.trackStart)
            return platform::MediaState::NoDisc;
        toc = m_toc;
        return platform::MediaState::Ready;
    }

    bool read(int lsn, int count, uint8_t *out) override {
        if (lsn != m_cursor) cdio_paranoia_seek(m_paranoia, lsn, SEEK_SET);
        bool whole = true;
        for (int i = 0; i < count; ++i) {
            t_sectorLost = false;
            const int16_t *sector = cdio_paranoia_read_limited(m_paranoia, &paranoiaEvent, kParanoiaRetries);
            if (!sector) {
                m_cursor = -1;
                return false;
            }
            std::memcpy(out + static_cast<size_t>(i) * platform::kSectorBytes, sector,
                        platform::kSectorBytes);
            whole = whole && !t_sectorLost;
        }
        m_cursor = lsn + count;
        return whole;
    }

    bool hasDoor() const override { return true; }
    platform::MediaState knownAtStart(platform::TableOfContents &toc) const override {
        toc = m_toc;
        return platform::MediaState::Ready;
    }
    std::string name() const override { return m_path; }
    CdIo_t *cdio() const { return m_cdio; }

private:
    explicit ParanoiaSource(std::string path) : m_path(std::move(path)) {}

    const std::string m_path;
    CdIo_t *m_cdio = nullptr;
    cdrom_drive_t *m_drive = nullptr;
    cdrom_paranoia_t *m_paranoia = nullptr;
    platform::TableOfContents m_toc;
    int m_cursor = -1;
};

bool isDevice(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && (S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode));
}

// A folder holding exactly one cue sheet stands for that sheet.
QString resolveFolder(const QString &path, QString &reason) {
    if (!QFileInfo(path).isDir()) return path;
    const QStringList sheets = QDir(path).entryList({"*.cue", "*.CUE"}, QDir::Files);
    if (sheets.size() == 1) return QDir(path).filePath(sheets.front());
    reason = DiscSaver::tr("フォルダー %1 にはキューシートがないか、二つ以上あります").arg(path);
    return {};
}

std::string fromCdio(char *text) {
    std::string value = text ? text : "";
    cdio_free(text);
    return value;
}

// What libcdio knows beyond the table of contents: gaps, ISRC, the catalogue number, the copy bit.
void readExtras(CdIo_t *cdio, DiscLayout &layout) {
    const platform::TableOfContents &toc = layout.toc;
    layout.index0 = platform::CdioSource::readGaps(cdio, toc);
    for (int track = toc.firstTrack; track <= toc.lastTrack; ++track) {
        const auto t = static_cast<track_t>(track);
        const size_t i = static_cast<size_t>(track - toc.firstTrack);
        layout.isrc[i] = fromCdio(cdio_get_track_isrc(cdio, t));
        layout.copyPermitted[i] = cdio_get_track_copy_permit(cdio, t) == CDIO_TRACK_FLAG_TRUE;
    }
    layout.catalog = fromCdio(cdio_get_mcn(cdio));
}

// An image's extras, read as the player reads the image: a .toc's relative names through a copy.
void readImageExtras(const std::string &path, DiscLayout &layout) {
    const driver_id_t driver = platform::CdioSource::imageDriver(path);
    const auto copy = driver == DRIVER_CDRDAO ? platform::TocCopy::of(path) : nullptr;
    if (CdIo_t *cdio = cdio_open(copy ? copy->path().c_str() : path.c_str(), driver)) {
        readExtras(cdio, layout);
        cdio_destroy(cdio);
    }
}

// Where sector 0 of the sheet's file `file` lies on the disc, from a track whose INDEX 01 is in it;
// -1 when no track says so plainly (a PREGAP between the file's start and INDEX 01).
int fileStartOf(const platform::CueSheet &sheet, const platform::TableOfContents &toc, int file) {
    for (const platform::CueSheet::Track &track : sheet.tracks) {
        if (track.file != file || !toc.hasTrack(track.number)) continue;
        if (track.pregap == 0) return toc.startOf(track.number) - track.index1;
        if (track.index1 == 0) return toc.startOf(track.number);
    }
    return -1;
}

// A rip's gaps, flags and codes come from its sheet. A gap's INDEX 00 is in the file of its INDEX 01
// or, as this program saves gaps, at the end of the file before.
void readSheetExtras(const QString &sheetPath, DiscLayout &layout) {
    QFile file(sheetPath);
    if (!file.open(QIODevice::ReadOnly)) return;
    std::string reason;
    const QByteArray bytes = file.read(platform::CueSheet::kMaxBytes);
    const auto sheet = platform::CueSheet::parse(bytes.toStdString(), reason);
    if (!sheet) return;
    layout.catalog = sheet->catalog;
    const platform::TableOfContents &toc = layout.toc;
    for (const platform::CueSheet::Track &track : sheet->tracks) {
        if (!toc.hasTrack(track.number)) continue;
        const size_t i = static_cast<size_t>(track.number - toc.firstTrack);
        int gap = track.pregap + (track.index0 >= 0 ? track.index1 - track.index0 : 0);
        if (const int start = track.gapFile >= 0 ? fileStartOf(*sheet, toc, track.gapFile) : -1; start >= 0)
            gap = toc.startOf(track.number) - (start + track.gapIndex);
        if (gap > 0 && gap <= toc.startOf(track.number)) layout.index0[i] = toc.startOf(track.number) - gap;
        layout.isrc[i] = track.isrc;
        layout.copyPermitted[i] = track.copyPermitted;
    }
}

void startLayout(DiscLayout &layout, const platform::TableOfContents &toc) {
    layout.toc = toc;
    const size_t count = static_cast<size_t>(toc.trackCount());
    layout.index0.assign(count, -1);
    layout.isrc.assign(count, {});
    layout.copyPermitted.assign(count, false);
    if (auto mb = online::musicBrainzToc(toc)) layout.musicBrainzDiscId = online::discIdOf(*mb);
}

std::string trimmed(const char *text) {
    std::string value(text);
    const auto first = value.find_first_not_of(' ');
    return first == std::string::npos ? "" : value.substr(first, value.find_last_not_of(' ') - first + 1);
}

OpenedSource openDrive(const std::string &path, int readOffset, QString &reason) {
    OpenedSource opened;
    auto drive = ParanoiaSource::open(path, reason);
    if (!drive) return opened;
    platform::TableOfContents toc;
    drive->knownAtStart(toc);
    startLayout(opened.layout, toc);
    readExtras(drive->cdio(), opened.layout);
    cdio_hwinfo_t info{};
    if (cdio_get_hwinfo(drive->cdio(), &info)) {
        opened.layout.driveVendor = QString::fromStdString(trimmed(info.psz_vendor));
        opened.layout.driveModel = QString::fromStdString(trimmed(info.psz_model));
    }
    opened.layout.drive = true;
    opened.layout.readOffset = readOffset;
    opened.device = QString::fromStdString(path);
    opened.source = drive;
    return opened;
}

// Polls a source until it says what it holds; a rip measures its files in the first poll.
bool readyToc(platform::SectorSource &source, platform::TableOfContents &toc, QString &reason) {
    const platform::MediaState state = source.poll(toc);
    if (state == platform::MediaState::Ready && toc.lastAudioTrack() > 0) return true;
    reason =
        !source.failure().empty()
            ? QString::fromStdString(source.failure())
            : DiscSaver::tr("%1 には音楽のディスクがありません").arg(QString::fromStdString(source.name()));
    return false;
}

} // namespace

OpenedSource openSource(const SaveOptions &options, QString &reason) {
    OpenedSource opened;
    std::shared_ptr<platform::SectorSource> source = options.sectorSource;
    std::string failure;
    QString choice = options.source;
    if (!source) {
        choice = resolveFolder(choice, reason);
        if (!reason.isEmpty()) return opened;
        const std::string path =
            choice.isEmpty() ? platform::HotPlugSource::defaultDrive() : choice.toStdString();
        if (choice == "demo") {
            source = platform::demo::makeSource();
        } else if (path.empty()) {
            reason = DiscSaver::tr("CDドライブがありません");
            return opened;
        } else if (isDevice(path)) {
            opened = openDrive(path, options.readOffset, reason);
            if (opened.source) opened.layout.sourceName = QString::fromStdString(path);
            return opened;
        } else if (platform::CdioSource::imageDriver(path) == DRIVER_BINCUE) {
            source = platform::RipSource::create(path, failure);
        } else {
            source = platform::CdioSource::create(path, failure);
        }
        if (!source) {
            reason = QString::fromStdString(failure);
            return opened;
        }
    }
    platform::TableOfContents toc;
    if (!readyToc(*source, toc, reason)) return opened;
    startLayout(opened.layout, toc);
    if (!options.sectorSource && platform::CdioSource::imageDriver(choice.toStdString()) == DRIVER_BINCUE)
        readSheetExtras(choice, opened.layout);
    else if (!options.sectorSource && choice != "demo")
        readImageExtras(choice.toStdString(), opened.layout);
    opened.layout.sourceName = QString::fromStdString(source->name());
    opened.layout.drive = options.sectorSource && options.readTwice;
    opened.layout.readOffset = opened.layout.drive ? options.readOffset : 0;
    opened.source = std::move(source);
    return opened;
}

} // namespace save
