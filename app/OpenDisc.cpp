#include "app/OpenDisc.h"

#include "app/LocalPath.h"
#include "app/SettingsFile.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/DiscLoading.h"
#include "platform/AtomicFile.h"
#include "platform/SourceSwitch.h"
#include "player/PlayerState.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"
#include "ui/TrackSelector.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <dirent.h>
#include <functional>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const QString kSettingsFile = QStringLiteral("ROTOR.INI");
constexpr int kRecentCount = 8;
constexpr int kLongestKeptPath = 1023; // bytes: what a settings value holds
constexpr int kLongestMenuText = 80;   // characters of an image's entry in the drive menu

QString translated(const char *text) {
    return QCoreApplication::translate("OpenDisc", text);
}

std::string toLocal(const QString &path) {
    return localPath(path).toStdString();
}
QString fromLocal(const std::string &path) {
    return pathFromLocal(QByteArray::fromStdString(path));
}

void tellCannotOpen(const QString &what, const QString &why) {
    const QString text = QCoreApplication::translate("OpenDisc", "%1 を開けません: %2").arg(what, why);
    showException(std::runtime_error(text.toStdString()));
}

bool isImage(const QString &choice) {
    return !choice.isEmpty() && choice != "demo" && pathKind(choice) == PathKind::File;
}

bool isSheetOrImage(const QString &path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return pathKind(path) == PathKind::File && (suffix == "cue" || suffix == "toc" || suffix == "nrg");
}

// The readable files of `folder` whose names end in ".cue" in any letter case, by their bytes.
QStringList cueSheetsIn(const QString &folder) {
    QStringList sheets;
    struct CloseListing {
        void operator()(DIR *listing) const { closedir(listing); }
    };
    std::unique_ptr<DIR, CloseListing> listing(opendir(localPath(folder).constData()));
    constexpr int kEntriesLooked = 10000; // a sheet's folder holds a few files, not a whole library
    int looked = 0;
    while (dirent *entry = listing ? readdir(listing.get()) : nullptr) {
        if (++looked > kEntriesLooked) break;
        const QString name = pathFromLocal(entry->d_name);
        const QString path = folder + QLatin1Char('/') + name;
        if (name.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive) && pathKind(path) == PathKind::File &&
            ::access(localPath(path).constData(), R_OK) == 0)
            sheets.append(name);
    }
    return sheets;
}

// --- what ROTOR.INI keeps: the image in the drive and the recent images ---

// A settings value loses blanks at its ends and cannot hold a line break: such a path is not kept.
bool canKeep(const QString &path) {
    return toLocal(path).size() <= kLongestKeptPath && path.trimmed() == path && !path.contains('\n') &&
           !path.contains('\r');
}

// The same image however the entry was written: relative entries (written by hand) and ones that
// differ only by "." or "//" count as one.
QString keptForm(const QString &path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The first failure to write ROTOR.INI while opening is said; the same failure at every later
// open would say nothing new. The disc opens all the same.
void keepSayingOnce(const std::function<void()> &write) {
    static bool said = false;
    try {
        write();
    } catch (const std::exception &error) {
        if (std::exchange(said, true)) return;
        // Said once the window's loop runs: at the start, over the panel that shows the disc.
        const std::string text = error.what();
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [text] { showException(std::runtime_error(text)); });
    }
}

QString recentKey(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

QStringList readRecent(const SettingsFile &settings) {
    QStringList list;
    for (int i = 0; i < kRecentCount; ++i) {
        const QString path = fromLocal(settings.ReadText("Recent", recentKey(i).toStdString(), ""));
        if (!path.isEmpty()) list.append(path);
    }
    return list;
}

void writeRecent(SettingsFile &settings, const QStringList &list) {
    const QStringList stored = readRecent(settings);
    if (stored == list) return;
    for (int i = 0; i < kRecentCount; ++i) {
        const QString path = i < list.size() ? list[i] : QString();
        const QString old = i < stored.size() ? stored[i] : QString();
        if (path != old) settings.WriteText("Recent", recentKey(i).toStdString(), toLocal(path));
    }
}

void keepInDrive(const QString &choice) {
    SettingsFile settings(kSettingsFile);
    const bool keep = isImage(choice) && canKeep(choice);
    settings.WriteText("Drive", "Image", keep ? toLocal(choice) : "");
    if (!keep) return;
    QStringList recent = readRecent(settings);
    recent.removeIf([&](const QString &entry) { return keptForm(entry) == choice; });
    recent.prepend(choice);
    writeRecent(settings, recent.mid(0, kRecentCount));
}

// --- the switch: the disc goes out, the poll sees it gone, the new one goes in ---

QTimer *discChangeTimer() {
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(Form1);
        timer->setInterval(50);
    }
    return timer;
}

// Opens the drive on its new source once the poll has reset the panel for the disc gone. While the
// registration question or the editor keeps the poll off, that waits: the editor's titles are
// saved for the disc it was opened for.
void putNewDiscIn() {
    QTimer *timer = discChangeTimer();
    if (Form1->PA_POWER->Tag != 1) return timer->stop();
    if (Form1->SG_TRACK->Tag != 0 || Form1->MediaPlayer1->Tag != 0) return;
    timer->stop();
    runGuarded([] { Form1->MediaPlayer1->Open(); });
}

void takeDiscOut() {
    platform::CdDrive *drive = Form1->MediaPlayer1->drive();
    if (drive && drive->isOpen()) drive->close();
    QTimer *timer = discChangeTimer();
    QObject::disconnect(timer, nullptr, nullptr, nullptr);
    QObject::connect(timer, &QTimer::timeout, timer, &putNewDiscIn);
    timer->start();
    putNewDiscIn();
}

// --- the menu ---

QString menuText(const QString &text) {
    QString escaped = text;
    return escaped.replace('&', QStringLiteral("&&"));
}

QString lastFolder() {
    const QStringList recent = recentImages();
    return recent.isEmpty() ? QDir::homePath() : QFileInfo(recent.front()).absolutePath();
}

void chooseImageFile() {
    QFileDialog dialog(Form1, translated(QT_TRANSLATE_NOOP("OpenDisc", "ディスクイメージを開く")),
                       lastFolder());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {translated(QT_TRANSLATE_NOOP("OpenDisc", "キューシートとディスクイメージ (*.cue *.toc *.nrg)")),
         translated(QT_TRANSLATE_NOOP("OpenDisc", "すべてのファイル (*)"))});
    if (execModal(&dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    openDisc(dialog.selectedFiles().front());
}

// An entry no wider than a menu should be: a long path loses its middle.
QString shortened(const QString &text) {
    if (text.size() <= kLongestMenuText) return text;
    const int half = (kLongestMenuText - 1) / 2;
    return text.left(half) + QChar(0x2026) + text.right(kLongestMenuText - 1 - half);
}

void addChoice(QMenu *menu, QActionGroup *group, const QString &text, const QString &choice,
               const QString &current) {
    QAction *action = menu->addAction(menuText(shortened(text)));
    action->setCheckable(true);
    action->setChecked(choice == current);
    action->setActionGroup(group);
    QObject::connect(action, &QAction::triggered, menu, [choice] { runGuarded([&] { openDisc(choice); }); });
}

void fillDriveMenu(QMenu *menu) {
    menu->clear();
    platform::SourceSwitch *sourceSwitch = platform::sourceSwitch();
    if (!sourceSwitch) return;
    // One choice of several: the current drive gets a radio mark.
    auto *group = new QActionGroup(menu);
    QObject::connect(menu, &QMenu::aboutToShow, group, &QObject::deleteLater);
    const QString current = fromLocal(sourceSwitch->choice());
    const std::vector<platform::DriveEntry> drives = sourceSwitch->drives();
    for (const platform::DriveEntry &drive : drives) {
        const QString path = fromLocal(drive.path);
        addChoice(menu, group, drive.model.empty() ? path : path + "  " + QString::fromStdString(drive.model),
                  path, current);
    }
    if (drives.empty())
        menu->addAction(translated(QT_TRANSLATE_NOOP("OpenDisc", "CDドライブがありません")))
            ->setEnabled(false);
    addChoice(menu, group, translated(QT_TRANSLATE_NOOP("OpenDisc", "デモディスク")), QStringLiteral("demo"),
              current);
    QStringList images = recentImages();
    if (isImage(current) && !images.contains(current)) images.prepend(current);
    if (!images.isEmpty()) menu->addSeparator();
    for (const QString &image : images) {
        const QFileInfo file(image);
        addChoice(menu, group, file.fileName() + "  (" + file.absolutePath() + ")", image, current);
    }
}

// --- drops ---

// The sheet or image that a drop would open, or empty when the drop is refused.
QString droppedDisc(const QMimeData *data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    const QString dropped = pathOfFileUrl(data->urls().front());
    if (isSheetOrImage(dropped)) return QFileInfo(dropped).absoluteFilePath();
    if (pathKind(dropped) != PathKind::Folder) return {};
    QString reason;
    return resolveOpenPath(dropped, reason);
}

// The drop opens what the drag showed it would: on X the dragged data can be gone by the time
// of the drop (a source that has let its selection go), so the path seen while dragging is kept.
class DiscDropFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDropEvent *>(event);
            m_dragged = droppedDisc(drag->mimeData());
            if (m_dragged.isEmpty())
                drag->ignore();
            else
                drag->acceptProposedAction();
            return true;
        }
        case QEvent::DragLeave:
            m_dragged.clear();
            return true;
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            QString disc = droppedDisc(drop->mimeData());
            if (disc.isEmpty()) disc = std::exchange(m_dragged, QString());
            if (disc.isEmpty()) return true;
            drop->acceptProposedAction();
            // Not inside the drop: a message box there would hold the dragging program too.
            QTimer::singleShot(0, Form1, [disc] { runGuarded([&] { openDisc(disc); }); });
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    QString m_dragged;
};

// --- the switch from the player's side ---

unsigned s_openTicket = 0;     // the latest open asked for
unsigned s_finishedTicket = 0; // the latest open whose check has ended

// `choice` as the switch takes it: a path made absolute (or a folder's one sheet), a device node,
// "demo" or "". False, after saying why, when there is nothing there to open.
bool resolveChoice(const QString &choice, QString &target) {
    target = choice;
    if (choice.isEmpty() || choice == "demo") return true;
    QString reason;
    target = resolveOpenPath(choice, reason);
    if (target.isEmpty()) tellCannotOpen(choice, reason);
    return !target.isEmpty();
}

// Whether the editor holds titles that its disc's file does not: typing, or titles found online.
bool editorHoldsUnsavedTitles() {
    if (!CD_Database || !CD_Database->isVisible()) return false;
    CD_Database->SG1->commitEditor();
    const std::vector<std::string> shown = CD_Database->catalogueLines();
    std::vector<std::string> saved;
    try {
        saved = catalogue::readFile(DiscFilePath).value_or(std::vector<std::string>());
    } catch (const std::exception &) {
        return true; // a file that cannot be read now is no saved copy of what the editor holds
    }
    saved.resize(std::max(saved.size(), shown.size()));
    return !std::equal(shown.begin(), shown.end(), saved.begin());
}

// When the editor holds unsaved titles, asks whether to save them before its disc goes. False when
// the user keeps the disc (or the save failed, which has been said).
bool editorLetsDiscGo() {
    if (!editorHoldsUnsavedTitles()) return true;
    QMessageBox box(QMessageBox::Question, applicationTitle(),
                    translated(QT_TRANSLATE_NOOP("OpenDisc", "編集中のタイトルが保存されていません。\n"
                                                             "ディスクを替える前に保存しますか？")),
                    QMessageBox::NoButton, CD_Database);
    QPushButton *save =
        box.addButton(translated(QT_TRANSLATE_NOOP("OpenDisc", "保存(&S)")), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(translated(QT_TRANSLATE_NOOP("OpenDisc", "保存しない(&N)")),
                                         QMessageBox::DestructiveRole);
    QPushButton *keep = box.addButton(translated(QT_TRANSLATE_NOOP("OpenDisc", "このディスクのまま(&K)")),
                                      QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(keep);
    execModal(&box);
    if (box.clickedButton() == discard) return true;
    if (box.clickedButton() != save) return false;
    CD_Database->BitBtn2Click(CD_Database->BitBtn2);
    return true;
}

// The checked source goes into the drive as a disc change, and is kept for the next start.
void switchTo(const QString &target) {
    if (target == "demo") putDemoTitlesInPlace();
    takeDiscOut();
    keepSayingOnce([&] { keepInDrive(target); });
}

// The end of a check: a source that plays replaces the disc, one that does not is named and why.
// An open asked for later makes this one's answer moot.
void finishOpening(unsigned ticket, const QString &target, bool playable, const QString &reason) {
    if (ticket != s_openTicket || !Form1) return;
    s_finishedTicket = ticket;
    if (!playable) return tellCannotOpen(target, reason);
    if (!editorLetsDiscGo() || ticket != s_openTicket) return;
    if (platform::sourceSwitch() && platform::sourceSwitch()->putIn(toLocal(target))) switchTo(target);
}

} // namespace

QString resolveOpenPath(const QString &path, QString &reason) {
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    switch (pathKind(absolute)) {
    case PathKind::Missing:
        // A drive named by the desktop (cdda://sr1) or by hand that this machine does not have.
        reason = path.startsWith(QLatin1String("/dev/"))
                     ? translated(QT_TRANSLATE_NOOP("OpenDisc", "そのドライブはありません"))
                     : translated(QT_TRANSLATE_NOOP("OpenDisc", "そのファイルはありません"));
        return {};
    case PathKind::File:
        return absolute;
    case PathKind::Other: {
        // A pipe or a socket would hold the reader, and the program with it, until someone writes.
        struct stat status {};
        if (::stat(localPath(absolute).constData(), &status) == 0 &&
            (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode))) {
            reason = translated(QT_TRANSLATE_NOOP("OpenDisc", "ファイルでもドライブでもありません"));
            return {};
        }
        return absolute;
    }
    case PathKind::Folder:
        break;
    }
    const QStringList sheets = cueSheetsIn(absolute);
    if (sheets.size() == 1) return absolute + QLatin1Char('/') + sheets.front();
    reason = QCoreApplication::translate(
                 "OpenDisc", "フォルダーにキューシートが %1 個あります (開けるのは一つだけのときです)")
                 .arg(sheets.size());
    return {};
}

bool openDisc(const QString &choice) {
    platform::SourceSwitch *sourceSwitch = platform::sourceSwitch();
    QString target;
    if (!sourceSwitch || !Form1 || !resolveChoice(choice, target)) return false;
    const unsigned ticket = ++s_openTicket;
    // The old disc plays on while the new source is checked; the answer comes back to this thread.
    sourceSwitch->check(toLocal(target), [ticket, target](bool playable, const std::string &reason) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [=] {
                runGuarded([&] { finishOpening(ticket, target, playable, QString::fromStdString(reason)); });
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool openDiscNow(const QString &choice) {
    platform::SourceSwitch *sourceSwitch = platform::sourceSwitch();
    QString target;
    if (!sourceSwitch || !Form1 || !resolveChoice(choice, target)) return false;
    s_finishedTicket = ++s_openTicket; // an open still being checked is replaced by this one
    std::string reason;
    if (!sourceSwitch->prepareNow(toLocal(target), reason))
        return tellCannotOpen(target, QString::fromStdString(reason)), false;
    switchTo(target);
    return true;
}

bool isOpeningDisc() {
    return s_openTicket != s_finishedTicket;
}

QString startupChoice() {
    const QByteArray named = qgetenv("TUNEWICK_DEVICE");
    if (!named.isEmpty()) return pathFromLocal(named);
    const QString kept = fromLocal(SettingsFile(kSettingsFile).ReadText("Drive", "Image", ""));
    return pathKind(kept) == PathKind::File ? kept : QString();
}

QStringList recentImages() {
    SettingsFile settings(kSettingsFile);
    const QStringList stored = readRecent(settings);
    QStringList present;
    for (const QString &path : stored)
        if (pathKind(path) == PathKind::File && !present.contains(keptForm(path)))
            present.append(keptForm(path));
    if (present != stored) keepSayingOnce([&] { writeRecent(settings, present); });
    return present;
}

// A folder that cannot be written only leaves the demo disc without titles: nothing to tell.
void putDemoTitlesInPlace() {
    const QDir folder(catalogue::catalogueFolder());
    const QDir titles(QStringLiteral(":/demo"));
    for (const QString &name : titles.entryList(QDir::Files)) {
        QFile source(titles.filePath(name));
        if (QFileInfo::exists(folder.filePath(name)) || !source.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = source.readAll();
        platform::replaceFileAtomically(
            folder.filePath(name), std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    }
}

void addOpenDiscItems(QMenu *menu, QAction *before) {
    menu->insertSeparator(before);
    auto *open = new QAction(translated(QT_TRANSLATE_NOOP("OpenDisc", "ディスクイメージを開く...")), menu);
    // Ctrl+O works in each player window, as the menu shows it.
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    open->setShortcutContext(Qt::WindowShortcut);
    open->setAutoRepeat(false);
    for (QWidget *window :
         {static_cast<QWidget *>(Form1), static_cast<QWidget *>(LCD_DISPLAY), static_cast<QWidget *>(Form5)})
        if (window) window->addAction(open);
    menu->insertAction(before, open);
    QObject::connect(open, &QAction::triggered, menu, [] { runGuarded(chooseImageFile); });
    auto *drives = new QMenu(translated(QT_TRANSLATE_NOOP("OpenDisc", "ドライブ")), menu);
    menu->insertMenu(before, drives);
    QObject::connect(drives, &QMenu::aboutToShow, drives, [drives] { fillDriveMenu(drives); });
}

void acceptDiscDrops(QWidget *window) {
    window->setAcceptDrops(true);
    window->installEventFilter(new DiscDropFilter(window));
}
