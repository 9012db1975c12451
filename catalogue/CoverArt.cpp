#include "catalogue/CoverArt.h"

#include "app/OnlineConsent.h"
#include "catalogue/CoverImage.h"
#include "catalogue/OnlineTitles.h"
#include "online/DiscId.h"
#include "platform/AtomicFile.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

#include <optional>
#include <stdexcept>

namespace {

// A cover whose check takes longer than this is refused: no real cover comes near it.
constexpr int kCheckTimeLimitMs = 2000;
// About 60,000 discs; a bigger index is no index of this program's, and is left alone.
constexpr qint64 kMostIndexBytes = 4 * 1024 * 1024;

const char *const kIndexUnreadable =
    QT_TRANSLATE_NOOP("CoverArt", "リリースの一覧 %1 を読めないか大きすぎるため、書き換えずにそのまま残します");

struct LoadedDisc {
    QString discId;
    QString releaseId;
    QString coverPath;
};
LoadedDisc s_disc;
bool s_fetching = false;
// Releases whose cover was asked for in this run and not kept (none, or not an image).
QSet<QString> s_noCover;
// The index as it was when it was last said to be unreadable: said again only once it changes.
QString s_indexSaidAs;
// Each check of a cover has a number; a check whose number is no longer this one was dropped
// (it took too long, or the look-up was switched off) and its result is thrown away.
quint64 s_checkNumber = 0;
bool s_checking = false;
CoverCheck s_check = coverImageExtension;

QString indexPath() { return coverCacheFolder() + QStringLiteral("/releases"); }

void sayIndexUnreadable(const QFileInfo &index) {
    const QString state = index.symLinkTarget() + QLatin1Char(' ') + QString::number(index.size()) + QLatin1Char(' ') +
                          QString::number(index.lastModified().toMSecsSinceEpoch());
    if (state == s_indexSaidAs) return;
    s_indexSaidAs = state;
    const QString message = QCoreApplication::translate("CoverArt", kIndexUnreadable).arg(indexPath());
    showException(std::runtime_error(message.toStdString()));
}

// The index holds one line per disc: its disc ID, a blank and its release's ID. Missing, it is
// empty; nothing when it is there and cannot be read whole (too big, a link, not a file).
std::optional<QStringList> indexLines() {
    const QFileInfo info(indexPath());
    if (!info.exists() && !info.isSymLink()) return QStringList();
    QFile file(indexPath());
    if (info.isSymLink() || !info.isFile() || info.size() > kMostIndexBytes || !file.open(QIODevice::ReadOnly)) {
        sayIndexUnreadable(info);
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMostIndexBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMostIndexBytes) {
        sayIndexUnreadable(info);
        return std::nullopt;
    }
    return QString::fromLatin1(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString releaseOf(const QString &discId) {
    for (const QString &line : indexLines().value_or(QStringList()))
        if (line.section(QLatin1Char(' '), 0, 0) == discId) return line.section(QLatin1Char(' '), 1, 1);
    return QString();
}

// An index that could not be read is left as it is: rewriting it would lose every other disc's line.
bool storeRelease(const QString &discId, const QString &releaseId) {
    std::optional<QStringList> lines = indexLines();
    if (!lines) return false;
    lines->removeIf([&](const QString &line) { return line.section(QLatin1Char(' '), 0, 0) == discId; });
    *lines << discId + QLatin1Char(' ') + releaseId;
    const QByteArray bytes = (lines->join(QLatin1Char('\n')) + QLatin1Char('\n')).toLatin1();
    return QDir().mkpath(coverCacheFolder()) &&
           !platform::replaceFileNotFollowingLinks(indexPath(), std::string_view(bytes.constData(), bytes.size()));
}

QString coverPath(const QString &releaseId, const char *extension) {
    return coverCacheFolder() + QLatin1Char('/') + releaseId + QLatin1Char('.') + QLatin1String(extension);
}

// Only a file of the program's own is published: a link in the cache may point anywhere.
QString keptCover(const QString &releaseId) {
    for (const char *extension : {"jpg", "png"}) {
        const QString path = coverPath(releaseId, extension);
        const QFileInfo info(path);
        if (info.isFile() && !info.isSymLink() && QImageReader(path).canRead()) return path;
    }
    return QString();
}

bool keepCover(const QString &releaseId, const char *extension, const QByteArray &image) {
    return QDir().mkpath(coverCacheFolder()) &&
           !platform::replaceFileNotFollowingLinks(coverPath(releaseId, extension),
                                                   std::string_view(image.constData(), image.size()));
}

void coverChecked(quint64 number, const QString &discId, const QString &releaseId, const QByteArray &image,
                  std::optional<const char *> extension) {
    if (number != s_checkNumber || !s_checking) return;
    s_checking = false;
    if (!extension || !keepCover(releaseId, *extension, image)) {
        s_noCover.insert(releaseId);
        return;
    }
    if (s_disc.discId == discId && s_disc.releaseId == releaseId) s_disc.coverPath = keptCover(releaseId);
}

// The image is checked away from the window's thread; one that is not checked in time is refused.
void checkCover(const QString &discId, const QString &releaseId, const QByteArray &image) {
    const quint64 number = ++s_checkNumber;
    s_checking = true;
    QThreadPool::globalInstance()->start([number, discId, releaseId, image, check = s_check] {
        const std::optional<const char *> extension = check(image);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [=] { coverChecked(number, discId, releaseId, image, extension); },
            Qt::QueuedConnection);
    });
    QTimer::singleShot(kCheckTimeLimitMs, QCoreApplication::instance(),
                       [=] { coverChecked(number, discId, releaseId, image, std::nullopt); });
}

void fetchCover() {
    online::TitleLookup *lookup = titleLookup();
    const QString discId = s_disc.discId;
    const QString releaseId = s_disc.releaseId;
    if (!lookup || s_noCover.contains(releaseId) || !storedOnlineConsent().value_or(false)) return;
    s_fetching = true;
    lookup->fetchCover(releaseId, [discId, releaseId](const QByteArray &image) {
        s_fetching = false;
        if (image.isEmpty()) return void(s_noCover.insert(releaseId));
        checkCover(discId, releaseId, image);
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
    // A release that cannot be remembered gives no cover either: the next run would not know it.
    if (!storeRelease(s_disc.discId, releaseId)) return;
    s_disc.releaseId = releaseId;
    publishOrFetch();
}

void stopFetchingCover() {
    s_checking = false;
    ++s_checkNumber;
    if (!s_fetching || !titleLookup()) return;
    s_fetching = false;
    titleLookup()->fetchCover(QString(), nullptr);
}

bool coverBeingChecked() { return s_checking; }

void setCoverCheck(CoverCheck check) { s_check = check ? std::move(check) : CoverCheck(coverImageExtension); }

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
