#include "app/SaveCommand.h"

#include "app/OpenDisc.h"
#include "app/SaveOnline.h"
#include "app/SettingsFile.h"
#include "app/Translation.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/CoverArt.h"
#include "platform/TitleEncoding.h"
#include "player/TimeFormat.h"
#include "save/DiscSaver.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTranslator>
#include <cdio/logging.h>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

class SaveCommand {
    Q_DECLARE_TR_FUNCTIONS(SaveCommand)
public:
    static QString usage() { return tr("使い方: cd-tunewick32 --save 保存先フォルダー [ソース]\n"); }
    static QString trackLine(const save::TrackResult &track);
    static QString progressLine(const save::SaveProgress &progress);
};

int g_interrupt[2] = {-1, -1}; // a signal's byte wakes the event loop

void interrupted(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(g_interrupt[1], &byte, 1);
}

void printLine(std::FILE *to, const QString &text) {
    std::fputs((text + '\n').toLocal8Bit().constData(), to);
    std::fflush(to);
}

QString SaveCommand::trackLine(const save::TrackResult &track) {
    const QString name = track.span.track == 0 ? tr("隠しトラック")
                                               : tr("トラック %1").arg(track.span.track, 2, 10, QChar('0'));
    QString state;
    switch (track.state) {
    case save::TrackState::Written:
        state = tr("正しく保存しました");
        break;
    case save::TrackState::Unreadable:
        state = tr("読めないセクタが %1 個あります").arg(track.badSectors.size());
        break;
    case save::TrackState::Failed:
        state = tr("保存できませんでした");
        break;
    case save::TrackState::Skipped:
        state = tr("データトラックなので保存しません");
        break;
    }
    QString line = QString("%1: %2").arg(name, state);
    if (!track.file.isEmpty())
        line += QString(" (CRC32 %1)").arg(QString::number(track.crc, 16).toUpper().rightJustified(8, '0'));
    if (!track.note.verdict.isEmpty()) line += ", " + track.note.verdict;
    return line;
}

QString SaveCommand::progressLine(const save::SaveProgress &progress) {
    const int percent = progress.total > 0 ? static_cast<int>(progress.done * 100 / progress.total) : 0;
    const QString track =
        progress.track == 0 ? tr("隠しトラック") : tr("トラック %1").arg(progress.track, 2, 10, QChar('0'));
    QString line = tr("保存中 %1% (%2)").arg(percent).arg(track);
    if (progress.secondsLeft >= 0)
        line += tr(" 残り %1:%2")
                    .arg(progress.secondsLeft / 60)
                    .arg(progress.secondsLeft % 60, 2, 10, QChar('0'));
    return line;
}

// The user's titles for the disc from its catalogue file, the kept cover of its release and its details.
QStringList completeFromCatalogue(const save::DiscLayout &disc, save::SaveMetadata &metadata) {
    const platform::TableOfContents &toc = disc.toc;
    const uint32_t length = msf::fromFrames(toc.leadOut - toc.startOf(toc.firstTrack) - 1);
    try {
        const auto lines = catalogue::readFile(
            QDir(catalogue::catalogueFolder()).filePath(catalogue::fileNameForLength(length)));
        if (lines && !lines->empty()) {
            if (metadata.discTitle.isEmpty()) metadata.discTitle = titles::decode(lines->front());
            for (int i = 0; i < toc.trackCount(); ++i) {
                while (metadata.trackTitles.size() <= i)
                    metadata.trackTitles << QString();
                const size_t line = static_cast<size_t>(i) + 1;
                if (metadata.trackTitles[i].isEmpty() && line < lines->size())
                    metadata.trackTitles[i] = titles::decode((*lines)[line]);
            }
        }
    } catch (...) {
        // An unreadable catalogue file leaves the titles the disc carries.
    }
    const QString release = rememberedRelease(disc.musicBrainzDiscId);
    if (metadata.coverPath.isEmpty()) metadata.coverPath = keptCoverFile(release);
    return addReleaseDetailsOfDisc(disc, metadata);
}

int exitStatus(const save::SaveResult &result) {
    for (const QString &notice : result.notices)
        printLine(stderr, notice);
    for (const save::TrackResult &track : result.tracks)
        printLine(stdout, SaveCommand::trackLine(track));
    if (!result.message.isEmpty()) printLine(stderr, result.message);
    if (result.outcome == save::Outcome::FilesExist)
        for (const QString &file : result.existing)
            printLine(stderr, "  " + file);
    if (!result.logFile.isEmpty()) printLine(stderr, SaveCommand::tr("記録: %1").arg(result.logFile));
    return result.ok() ? 0 : 1;
}

} // namespace

int runSaveCommand(int argc, char **argv, const QStringList &arguments) {
    QCoreApplication app(argc, argv);
    QTranslator translator;
    if (loadInterfaceTranslation(translator)) app.installTranslator(&translator);
    if (arguments.isEmpty() || arguments.size() > 2 || arguments.front().isEmpty()) {
        printLine(stderr, SaveCommand::usage().trimmed());
        return 2;
    }
    // libcdio's warnings about a device that is no CD drive would only hide the one line that says so.
    cdio_loglevel_default = CDIO_LOG_ERROR;
    save::SaveOptions options;
    options.folder = QDir(arguments.front()).absolutePath();
    QString reason;
    const QString named = arguments.value(1);
    options.source = named.isEmpty()   ? startupChoice()
                     : named == "demo" ? named
                                       : resolveOpenPath(named, reason);
    if (!named.isEmpty() && options.source.isEmpty()) {
        printLine(stderr, QString("%1: %2").arg(named, reason));
        return 1;
    }
    if (options.source == "demo") putDemoTitlesInPlace();
    options.readOffset = SettingsFile("ROTOR.INI").ReadNumber("Drive", "ReadOffset", 0);
    options.completeMetadata = &completeFromCatalogue;

    save::DiscSaver saver;
    // AccurateRip follows the setting; unset, nothing is sent and the user learns how to allow it.
    // The demo disc is made up here and is never looked up anywhere.
    const std::optional<bool> accurateRip =
        options.source == "demo" ? std::optional<bool>(false) : storedAccurateRipConsent();
    if (!accurateRip) printLine(stderr, accurateRipNotSetLine());
    saver.setCheck(makeAccurateRipCheck(accurateRip));
    const bool terminal = isatty(STDERR_FILENO);
    int lastTenth = -1;
    QObject::connect(&saver, &save::DiscSaver::progress, [&](const save::SaveProgress &progress) {
        const int tenth = progress.total > 0 ? static_cast<int>(progress.done * 10 / progress.total) : 0;
        if (terminal) {
            std::fputs(("\r\033[K" + SaveCommand::progressLine(progress)).toLocal8Bit().constData(), stderr);
            std::fflush(stderr);
        } else if (tenth != lastTenth) {
            printLine(stderr, SaveCommand::progressLine(progress));
        }
        lastTenth = tenth;
    });
    int status = 1;
    QObject::connect(&saver, &save::DiscSaver::finished, [&](const save::SaveResult &result) {
        if (terminal) std::fputs("\r\033[K", stderr);
        status = exitStatus(result);
        app.quit();
    });
    if (::pipe(g_interrupt) == 0) {
        auto *notifier = new QSocketNotifier(g_interrupt[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, [&saver, notifier] {
            notifier->setEnabled(false);
            saver.cancel();
        });
        std::signal(SIGINT, &interrupted);
        std::signal(SIGTERM, &interrupted);
    }
    saver.start(options);
    app.exec();
    return status;
}
