#include "catalogue/CoverArt.h"

#include "app/OnlineConsent.h"
#include "catalogue/OnlineTitles.h"
#include "online/DiscId.h"
#include "ui/Form1.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>

#include <optional>

namespace {

// A front-500 image is 500 pixels wide; a far bigger one is no cover of the archive's and would
// take long to decode.
constexpr int kLargestSide = 2000;

struct LoadedDisc {
    QString discId;
    QString releaseId;
    QString coverPath;
};
LoadedDisc s_disc;
bool s_fetching = false;
// Releases whose cover was asked for in this run and not kept (none, or not an image).
QSet<QString> s_noCover;

QString indexPath() { return coverCacheFolder() + QStringLiteral("/releases"); }

// The index holds one line per disc: its disc ID, a blank and its release's ID.
QStringList indexLines() {
    QFile file(indexPath());
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024) return {};
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString releaseOf(const QString &discId) {
    for (const QString &line : indexLines())
        if (line.section(QLatin1Char(' '), 0, 0) == discId) return line.section(QLatin1Char(' '), 1, 1);
    return QString();
}

void storeRelease(const QString &discId, const QString &releaseId) {
    QStringList lines = indexLines();
    lines.removeIf([&](const QString &line) { return line.section(QLatin1Char(' '), 0, 0) == discId; });
    lines << discId + QLatin1Char(' ') + releaseId;
    QDir().mkpath(coverCacheFolder());
    QSaveFile file(indexPath());
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLatin1());
    file.commit();
}

QString coverPath(const QString &releaseId, const char *extension) {
    return coverCacheFolder() + QLatin1Char('/') + releaseId + QLatin1Char('.') + QLatin1String(extension);
}

// The extension an image's bytes are kept under, when they decode to a cover: JPEG (what the
// archive serves) or PNG.
std::optional<const char *> coverExtension(QIODevice *image) {
    QImageReader reader(image);
    const QByteArray format = reader.format();
    if (format != "jpeg" && format != "png") return std::nullopt;
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kLargestSide || size.height() > kLargestSide) return std::nullopt;
    if (reader.read().isNull()) return std::nullopt;
    return format == "jpeg" ? "jpg" : "png";
}

QString keptCover(const QString &releaseId) {
    for (const char *extension : {"jpg", "png"}) {
        const QString path = coverPath(releaseId, extension);
        if (QFile::exists(path) && QImageReader(path).canRead()) return path;
    }
    return QString();
}

bool keepCover(const QString &releaseId, QByteArray image) {
    QBuffer buffer(&image);
    buffer.open(QIODevice::ReadOnly);
    const std::optional<const char *> extension = coverExtension(&buffer);
    if (!extension) return false;
    QSaveFile file(coverPath(releaseId, *extension));
    return file.open(QIODevice::WriteOnly) && file.write(image) == image.size() && file.commit();
}

void fetchCover() {
    online::TitleLookup *lookup = titleLookup();
    const QString discId = s_disc.discId;
    const QString releaseId = s_disc.releaseId;
    if (!lookup || s_noCover.contains(releaseId) || !storedOnlineConsent().value_or(false)) return;
    s_fetching = true;
    lookup->fetchCover(releaseId, [discId, releaseId](const QByteArray &image) {
        s_fetching = false;
        if (image.isEmpty() || !keepCover(releaseId, image)) {
            s_noCover.insert(releaseId);
            return;
        }
        if (s_disc.discId == discId && s_disc.releaseId == releaseId) s_disc.coverPath = keptCover(releaseId);
    });
}

void publishOrFetch() {
    s_disc.coverPath = keptCover(s_disc.releaseId);
    if (s_disc.coverPath.isEmpty()) fetchCover();
}

}  // namespace

QString coverCacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/cd-tunewick32");
}

void showCoverOfLoadedDisc() {
    s_disc = LoadedDisc();
    const platform::CdDrive *drive = Form1->MediaPlayer1->drive();
    const std::optional<online::MusicBrainzToc> toc = drive ? online::musicBrainzToc(drive->toc()) : std::nullopt;
    if (!toc) return;
    s_disc.discId = online::discIdOf(*toc);
    s_disc.releaseId = releaseOf(s_disc.discId);
    if (online::isMusicBrainzId(s_disc.releaseId)) publishOrFetch();
}

void rememberReleaseOfLoadedDisc(const QString &releaseId) {
    if (s_disc.discId.isEmpty() || !online::isMusicBrainzId(releaseId) || releaseId == s_disc.releaseId) return;
    s_disc.releaseId = releaseId;
    storeRelease(s_disc.discId, releaseId);
    publishOrFetch();
}

void stopFetchingCover() {
    if (!s_fetching || !titleLookup()) return;
    s_fetching = false;
    titleLookup()->fetchCover(QString(), nullptr);
}

QString coverArtUrl() {
    return s_disc.coverPath.isEmpty() ? QString() : QUrl::fromLocalFile(s_disc.coverPath).toString();
}

QString rememberedRelease(const QString &discId) {
    const QString release = releaseOf(discId);
    return online::isMusicBrainzId(release) ? release : QString();
}

QString keptCoverFile(const QString &releaseId) {
    return online::isMusicBrainzId(releaseId) ? keptCover(releaseId) : QString();
}
