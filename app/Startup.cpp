// Start-up and shutdown of the main panel: the settings it reads and writes, the power-on when
// it is first shown, and the end of the run when it closes.
#include "app/SettingsFile.h"
#include "app/Translation.h"
#include "catalogue/CatalogueEditor.h"
#include "platform/Deemphasis.h"
#include "player/PlayerState.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace {

const QString kSettingsFile = QStringLiteral("ROTOR.INI");

// The help document in the interface's language: installed beside the program's share folder, or
// in the build tree. The Japanese page stands in when the English one is missing.
QString helpFilePath() {
    QDir programDir(QCoreApplication::applicationDirPath());
    QStringList pages = {QStringLiteral("ROTOR.html")};
    if (interfaceLanguage() == InterfaceLanguage::English) pages.prepend(QStringLiteral("ROTOR.en.html"));
    for (const QString &page : pages) {
        for (const QString &folder : {QStringLiteral("../share/cd-tunewick32/help/"), QStringLiteral("help/")}) {
            const QString candidate = programDir.filePath(folder + page);
            if (QFileInfo::exists(candidate)) return QFileInfo(candidate).absoluteFilePath();
        }
    }
    return programDir.filePath(QStringLiteral("ROTOR.HLP"));
}

}  // namespace

void TForm1::FormCreate(QObject *) {
    setApplicationTitle(QStringLiteral("CD-Tunewick32"));
    HelpFile = helpFilePath();
    SettingsFile settings(kSettingsFile);
    move(settings.ReadNumber("Tunewick", "Pos(X)", 100), settings.ReadNumber("Tunewick", "Pos(Y)", 100));
    EndlessOn = settings.ReadFlag("Tunewick", "LOOP", true);
    LcdVisible = settings.ReadFlag("LCD", "Visible", false);
    ScrollDelay = settings.ReadNumber("LCD", "Delay", 250);
    if (EndlessOn) PM_LOOP->setCheckMark(true);
    platform::setDeemphasisEnabled(settings.ReadFlag("Tunewick", "Deemphasis", true));
    PM_DEEMPH->setCheckMark(platform::deemphasisEnabled());
    if (settings.ReadText("Online", "MusicBrainz", "") == "1") PM_ONLINE->setCheckMark(true);
    if (settings.ReadText("Online", "AccurateRip", "") == "1") PM_ACCURATERIP->setCheckMark(true);
}

void TForm1::FormShow(QObject *Sender) {
    LcdVisible = !LcdVisible;
    PA_DISPClick(Sender);
    if (PA_POWER->Tag == 0) PA_POWERClick(Sender);
}

void TForm1::FormClose(QObject *) {
    // A refused write is shown, and the program still ends: it must never be left unable to quit.
    runGuarded([this] {
        SettingsFile settings(kSettingsFile);
        settings.WriteNumber("Tunewick", "Pos(X)", x());
        settings.WriteNumber("Tunewick", "Pos(Y)", y());
        settings.WriteFlag("Tunewick", "LOOP", EndlessOn);
        settings.WriteFlag("LCD", "Visible", LcdVisible);
        settings.WriteNumber("LCD", "Pos(X)", LCD_DISPLAY->x());
        settings.WriteNumber("LCD", "Pos(Y)", LCD_DISPLAY->y());
        settings.WriteNumber("DB", "Pos(X)", CD_Database->x());
        settings.WriteNumber("DB", "Pos(Y)", CD_Database->y());
        settings.WriteNumber("Tunewick", "Delay", ScrollDelay);
        settings.WriteNumber("Select", "Pos(X)", Form5->x());
        settings.WriteNumber("Select", "Pos(Y)", Form5->y());
    });
    QCoreApplication::quit();
}
