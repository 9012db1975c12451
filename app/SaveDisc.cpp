#include "app/SaveDisc.h"

#include "app/SaveOnline.h"
#include "app/SettingsFile.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/CoverArt.h"
#include "desktop/SaveProgress.h"
#include "platform/SourceSwitch.h"
#include "platform/TitleEncoding.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "save/SavePlan.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"
#include "ui/SaveWindow.h"
#include "ui/TrackSelector.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QUrl>
#include <cmath>

namespace {

const QString kSettingsFile = QStringLiteral("ROTOR.INI");
constexpr int kNamesInQuestion = 8;

const char *const kMenuItem = QT_TRANSLATE_NOOP("DiscSaving", "ディスクを保存...");
const char *const kNoFolder = QT_TRANSLATE_NOOP("DiscSaving", "保存先フォルダを入れてください");
const char *const kBusy = QT_TRANSLATE_NOOP("DiscSaving", "ディスクを保存中です");
const char *const kDriveBusy =
    QT_TRANSLATE_NOOP("DiscSaving", "ディスクを保存中のため再生できません (ドライブ %1 を読んでいます)");
const char *const kOverwriteCaption = QT_TRANSLATE_NOOP("DiscSaving", "上書きの確認");
const char *const kOverwrite =
    QT_TRANSLATE_NOOP("DiscSaving", "同じ名前のファイルがあります:\n%1\n上書きしますか？");
const char *const kMoreFiles = QT_TRANSLATE_NOOP("DiscSaving", "ほか %1 個");
const char *const kYes = QT_TRANSLATE_NOOP("DiscSaving", "はい(&Y)");
const char *const kNo = QT_TRANSLATE_NOOP("DiscSaving", "いいえ(&N)");
const char *const kNotOverwritten =
    QT_TRANSLATE_NOOP("DiscSaving", "同じ名前のファイルがあるため保存しませんでした");
const char *const kHiddenTrack = QT_TRANSLATE_NOOP("DiscSaving", "(隠しトラック)");
const char *const kMayHoldAudio = QT_TRANSLATE_NOOP("DiscSaving", "音声があるかもしれません");
const char *const kHiddenSilent = QT_TRANSLATE_NOOP("DiscSaving", "無音 (保存しません)");
const char *const kHiddenSkipped = QT_TRANSLATE_NOOP("DiscSaving", "読めないため飛ばしました");
const char *const kLogFile = QT_TRANSLATE_NOOP("DiscSaving", "ログ: %1");
const char *const kNotifyDone = QT_TRANSLATE_NOOP("DiscSaving", "ディスクを保存しました");
const char *const kNotifyFailed = QT_TRANSLATE_NOOP("DiscSaving", "ディスクを保存できませんでした");

const char *const kTrackWritten = QT_TRANSLATE_NOOP("DiscSaving", "保存しました");
const char *const kTrackUnreadable = QT_TRANSLATE_NOOP("DiscSaving", "読めないセクタ %1 個");
const char *const kTrackFailed = QT_TRANSLATE_NOOP("DiscSaving", "保存していません");
const char *const kTrackSkipped = QT_TRANSLATE_NOOP("DiscSaving", "データトラック (保存しません)");

// The outcome in a few words; the engine's message adds the particulars (which file, which sector).
const char *outcomeText(save::Outcome outcome) {
    switch (outcome) {
    case save::Outcome::Ok:
        return QT_TRANSLATE_NOOP("DiscSaving", "すべてのトラックを保存しました");
    case save::Outcome::UnreadableSectors:
        return QT_TRANSLATE_NOOP("DiscSaving", "読めないセクタがありました (ログを見てください)");
    case save::Outcome::FilesExist:
        return kNotOverwritten;
    case save::Outcome::Cancelled:
        return QT_TRANSLATE_NOOP("DiscSaving", "中止しました");
    case save::Outcome::DiskFull:
        return QT_TRANSLATE_NOOP("DiscSaving", "保存先のディスクがいっぱいです");
    case save::Outcome::Unwritable:
        return QT_TRANSLATE_NOOP("DiscSaving", "保存先フォルダに書き込めません");
    case save::Outcome::DiscRemoved:
        return QT_TRANSLATE_NOOP("DiscSaving", "ディスクが取り出されました");
    case save::Outcome::SourceCutShort:
        return QT_TRANSLATE_NOOP("DiscSaving", "イメージまたはリッピングのファイルが途中で終わっています");
    case save::Outcome::AnotherSave:
        return QT_TRANSLATE_NOOP("DiscSaving", "ほかの保存が実行中です");
    case save::Outcome::NoDisc:
        return QT_TRANSLATE_NOOP("DiscSaving", "保存できるディスクがありません");
    }
    return "";
}

QString text(const char *source) {
    return QCoreApplication::translate("DiscSaving", source);
}

QString defaultFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return music.isEmpty() ? QDir::homePath() : music;
}

QString rememberedFolder() {
    const std::string kept = SettingsFile(kSettingsFile).ReadText("Save", "Folder", "");
    return kept.empty() ? defaultFolder() : QString::fromStdString(kept);
}

// A settings value cannot hold a line break nor blanks at its ends: such a folder is not kept.
void rememberFolder(const QString &folder) {
    if (folder.contains('\n') || folder.contains('\r') || folder.trimmed() != folder) return;
    runGuarded([&] { SettingsFile(kSettingsFile).WriteText("Save", "Folder", folder.toStdString()); });
}

int readOffset() {
    const std::string value = SettingsFile(kSettingsFile).ReadText("Drive", "ReadOffset", "0");
    bool ok = false;
    const int offset = QString::fromStdString(value).trimmed().toInt(&ok);
    return ok ? offset : 0;
}

// What the drive plays: the same choice the engine opens. "" is the system's drive.
QString playerSource() {
    platform::SourceSwitch *sources = platform::sourceSwitch();
    return sources ? QString::fromStdString(sources->choice()) : QString();
}

bool isDriveChoice(const QString &choice) {
    return choice.isEmpty() || choice.startsWith(QLatin1String("/dev/"));
}

// Paused, the device reports stopped; the transport's state says paused.
bool isPlayingOrPaused() {
    TMediaPlayer *device = Form1->MediaPlayer1;
    return device->isDeviceOpen() && (device->Mode() == mpPlaying || device->Tag == 2);
}

// A link such as /dev/cdrom names the same drive as /dev/sr0.
bool sameDevice(const QString &a, const QString &b) {
    if (a == b) return true;
    const QString realA = QFileInfo(a).canonicalFilePath();
    return !realA.isEmpty() && realA == QFileInfo(b).canonicalFilePath();
}

// The catalogue's titles, when the disc has a catalogue file: the user's titles win over the disc's.
save::SaveMetadata catalogueMetadata() {
    save::SaveMetadata metadata;
    if (Form1->SG_TRACK->Tag != 1 || DiscFilePath.isEmpty() || !QFileInfo::exists(DiscFilePath))
        return metadata;
    metadata.discTitle = titles::decode(DiscTitle).trimmed();
    for (int track = 1; track <= TrackCount; ++track)
        metadata.trackTitles << CD_Database->SG1->cellText(1, track).trimmed();
    const QUrl cover(coverArtUrl());
    if (cover.isLocalFile()) metadata.coverPath = cover.toLocalFile();
    return metadata;
}

QString trackText(const save::TrackResult &result) {
    QString line;
    switch (result.state) {
    case save::TrackState::Written:
        line = text(kTrackWritten);
        break;
    case save::TrackState::Unreadable:
        line = text(kTrackUnreadable).arg(result.badSectors.size());
        break;
    case save::TrackState::Failed:
        line = text(kTrackFailed);
        break;
    case save::TrackState::Skipped:
        line = text(kTrackSkipped);
        break;
    }
    if (!result.note.verdict.isEmpty()) line += QStringLiteral(", ") + result.note.verdict;
    return line;
}

SaveRowResult rowResultOf(save::TrackState state) {
    switch (state) {
    case save::TrackState::Written:
        return SaveRowResult::Whole;
    case save::TrackState::Skipped:
        return SaveRowResult::Skipped;
    default:
        return SaveRowResult::Failed;
    }
}

// A pregap before track 1 may hold hidden audio; whether it is only silence is known once it is
// read. Its row is listed first from the start.
void addHiddenRow(const platform::TableOfContents &toc, std::vector<SaveWindowTrack> &tracks) {
    save::DiscLayout layout;
    layout.toc = toc;
    if (save::SavePlan::hiddenSectors(layout) > 0)
        tracks.insert(tracks.begin(), {0, text(kHiddenTrack), text(kMayHoldAudio)});
}

QString listOfNames(const QStringList &paths) {
    QStringList names;
    for (const QString &path : paths.mid(0, kNamesInQuestion))
        names << QDir::toNativeSeparators(path);
    if (paths.size() > kNamesInQuestion) names << text(kMoreFiles).arg(paths.size() - kNamesInQuestion);
    return names.join('\n');
}

QPointer<DiscSaving> g_saving;

} // namespace

QString saveFolderOf(const QString &typed) {
    QString folder = typed.trimmed();
    if (folder.isEmpty()) return {};
    if (folder == QLatin1String("~") || folder.startsWith(QLatin1String("~/")))
        folder.replace(0, 1, QDir::homePath());
    return QDir::cleanPath(QDir::home().absoluteFilePath(folder));
}

QString playRefusalFor(const QString &deviceInUse, const QString &playerChoice) {
    if (deviceInUse.isEmpty() || (!playerChoice.isEmpty() && !sameDevice(playerChoice, deviceInUse)))
        return {};
    return text(kDriveBusy).arg(deviceInUse);
}

DiscSaving::DiscSaving(QObject *parent) : QObject(parent), m_saver(new save::DiscSaver(this)) {
    connect(m_saver, &save::DiscSaver::discKnown, this, &DiscSaving::discKnown);
    connect(m_saver, &save::DiscSaver::progress, this, &DiscSaving::progress);
    connect(m_saver, &save::DiscSaver::trackFinished, this, &DiscSaving::trackFinished);
    connect(m_saver, &save::DiscSaver::finished, this, &DiscSaving::finished);
}

DiscSaving::~DiscSaving() {
    if (m_saver->running()) desktop::hideSaveProgress();
}

void DiscSaving::openWindow() {
    if (!m_window) {
        m_window = new TSaveWindow(Form1);
        m_window->setFolder(rememberedFolder());
        connect(m_window, &TSaveWindow::startRequested, this,
                [this](const QString &folder) { start(folder); });
        connect(m_window, &TSaveWindow::cancelRequested, m_saver, &save::DiscSaver::cancel);
    }
    if (!m_window->isSaving()) {
        const save::SaveMetadata metadata = catalogueMetadata();
        std::vector<SaveWindowTrack> tracks;
        for (int track = 1; track <= TrackCount && Form1->SG_TRACK->Tag == 1; ++track)
            tracks.push_back({track, metadata.trackTitles.value(track - 1), {}});
        const platform::CdDrive *drive = Form1->MediaPlayer1->drive();
        if (!tracks.empty() && drive) addHiddenRow(drive->toc(), tracks);
        m_window->setDisc(metadata.discTitle, tracks);
        m_rows.clear();
        for (int row = 0; row < static_cast<int>(tracks.size()); ++row)
            m_rows[tracks[row].number] = row;
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

std::string DiscSaving::playRefusal() const {
    return playRefusalFor(save::DiscSaver::deviceInUse(), playerSource()).toStdString();
}

save::SaveOptions DiscSaving::optionsFor(const QString &folder) const {
    save::SaveOptions options;
    options.source = m_source;
    options.folder = folder;
    options.readOffset = readOffset();
    options.metadata = catalogueMetadata();
    options.sectorSource = m_sourceOverride;
    // The kept cover and the release's artists, date and IDs, as the command line has them.
    options.completeMetadata = [](const save::DiscLayout &disc, save::SaveMetadata &metadata) {
        if (metadata.coverPath.isEmpty()) metadata.coverPath = keptCoverFile(rememberedRelease(disc.musicBrainzDiscId));
        return addReleaseDetailsOfDisc(disc, metadata);
    };
    return options;
}

void DiscSaving::start(const QString &folder) {
    m_folder = saveFolderOf(folder);
    if (m_folder.isEmpty()) return endWith(false, text(kNoFolder));
    rememberFolder(m_folder);
    m_source = playerSource();
    // The drive cannot play and be read for the save at once: the save takes it.
    if (isDriveChoice(m_source) && !m_sourceOverride && isPlayingOrPaused())
        runGuarded([] { StopCD(Form1); });
    begin(optionsFor(m_folder));
}

// Asks for AccurateRip's consent the first time, then saves with `options`. The demo disc is made
// up here and is never looked up anywhere: nothing is asked or sent for it.
void DiscSaving::begin(const save::SaveOptions &options) {
    m_options = options;
    const bool demo = options.source == QLatin1String("demo") && !options.sectorSource;
    m_saver->setCheck(makeAccurateRipCheck(demo ? std::optional<bool>(false) : accurateRipAllowed()));
    if (!m_saver->start(options)) return endWith(false, text(kBusy));
    m_shownPercent = -1;
    m_window->beginSaving();
    desktop::showSaveProgress(0.0);
}

// The rows as the save will write them: the catalogue's titles, else those the disc carries.
void DiscSaving::discKnown(const save::DiscLayout &disc) {
    if (!m_window) return;
    const save::SaveMetadata metadata = catalogueMetadata();
    const platform::DiscText &carried = disc.toc.text;
    std::vector<SaveWindowTrack> tracks;
    for (int i = 0; i < disc.toc.trackCount(); ++i) {
        QString title = metadata.trackTitles.value(disc.toc.firstTrack + i - 1);
        if (title.isEmpty() && i < static_cast<int>(carried.trackTitles.size()))
            title = QString::fromStdString(carried.trackTitles[static_cast<size_t>(i)]);
        tracks.push_back({disc.toc.firstTrack + i, title, {}});
    }
    addHiddenRow(disc.toc, tracks);
    QString discTitle = metadata.discTitle;
    if (discTitle.isEmpty()) discTitle = QString::fromStdString(carried.title);
    m_window->setDisc(discTitle.isEmpty() ? disc.sourceName : discTitle, tracks);
    m_window->beginSaving();
    m_rows.clear();
    for (int row = 0; row < static_cast<int>(tracks.size()); ++row)
        m_rows[tracks[row].number] = row;
}

// The hidden track before track 1 is known only when its audio is found: it gets a row of its
// own, listed first.
int DiscSaving::rowOf(int track) {
    if (const auto found = m_rows.find(track); found != m_rows.end()) return found->second;
    if (track != 0 || !m_window) return -1;
    m_window->insertTrack(0, {0, text(kHiddenTrack), {}});
    for (auto &[number, row] : m_rows)
        ++row;
    return m_rows[0] = 0;
}

void DiscSaving::progress(const save::SaveProgress &progress) {
    const double whole = progress.total > 0 ? double(progress.done) / double(progress.total) : 0.0;
    if (m_window) {
        if (progress.trackTotal > 0)
            m_window->showTrackProgress(rowOf(progress.track),
                                        double(progress.trackDone) / double(progress.trackTotal));
        m_window->showTotalProgress(whole, progress.secondsLeft);
    }
    // The task bar hears of whole percents only: ten messages a second would be noise on the bus.
    const int percent = static_cast<int>(std::floor(whole * 100));
    if (percent == m_shownPercent) return;
    m_shownPercent = percent;
    desktop::showSaveProgress(percent / 100.0);
}

void DiscSaving::trackFinished(const save::TrackResult &result) {
    if (m_window)
        m_window->showTrackResult(rowOf(result.span.track), rowResultOf(result.state), trackText(result));
}

bool DiscSaving::askToOverwrite(const QStringList &existing) const {
    QMessageBox box(QMessageBox::Question, text(kOverwriteCaption),
                    text(kOverwrite).arg(listOfNames(existing)), QMessageBox::NoButton, m_window);
    QPushButton *yes = box.addButton(text(kYes), QMessageBox::YesRole);
    QPushButton *no = box.addButton(text(kNo), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    execModal(&box);
    return box.clickedButton() == yes;
}

void DiscSaving::finished(const save::SaveResult &result) {
    if (result.outcome == save::Outcome::FilesExist) {
        // A yes replaces what the question named: the same source, titles and folder, even when
        // another disc was opened while it waited.
        if (m_window && askToOverwrite(result.existing)) {
            save::SaveOptions replacing = m_options;
            replacing.overwrite = true;
            return begin(replacing);
        }
        return endWith(false, text(kNotOverwritten));
    }
    for (const save::TrackResult &track : result.tracks)
        trackFinished(track);
    const bool hiddenListed = m_window && m_rows.count(0) > 0;
    if (hiddenListed && result.hidden == save::HiddenAudio::Silent)
        m_window->showTrackResult(m_rows[0], SaveRowResult::Skipped, text(kHiddenSilent));
    if (hiddenListed && result.hidden == save::HiddenAudio::Skipped)
        m_window->showTrackResult(m_rows[0], SaveRowResult::Skipped, text(kHiddenSkipped));
    QStringList lines{text(outcomeText(result.outcome))};
    if (!result.message.isEmpty()) lines << result.message;
    lines << result.notices;
    if (!result.logFile.isEmpty()) lines << text(kLogFile).arg(QDir::toNativeSeparators(result.logFile));
    if (result.ok()) desktop::showSaveProgress(1.0);
    endWith(result.ok(), lines.join('\n'));
    desktop::notifySaveResult(text(result.ok() ? kNotifyDone : kNotifyFailed), lines.join('\n'));
}

void DiscSaving::endWith(bool whole, const QString &result) {
    desktop::hideSaveProgress();
    if (m_window) m_window->endSaving(whole, result);
}

void setUpDiscSaving() {
    g_saving = new DiscSaving(Form1);
    auto *item = new QAction(text(kMenuItem), Form1->PM1);
    Form1->PM1->insertAction(Form1->N2, item);
    QObject::connect(item, &QAction::triggered, g_saving, [] { runGuarded([] { g_saving->openWindow(); }); });
    for (QWidget *window : {static_cast<QWidget *>(Form1), static_cast<QWidget *>(LCD_DISPLAY),
                            static_cast<QWidget *>(Form5)}) {
        auto *key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), window);
        key->setContext(Qt::WindowShortcut);
        key->setAutoRepeat(false);
        QObject::connect(key, &QShortcut::activated, g_saving,
                         [] { runGuarded([] { g_saving->openWindow(); }); });
    }
    setPlayRefusal([] { return g_saving ? g_saving->playRefusal() : std::string(); });
}
