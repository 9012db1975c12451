#include "tests/support/AppFixture.h"

#include "app/Application.h"
#include "catalogue/CatalogueEditor.h"
#include "platform/Deemphasis.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <string>
#include <utility>
#include <vector>

namespace {

using Entry = std::pair<std::string, std::string>;  // "[section] key", value

class Startup : public AppFixture {
protected:
    // Closes the main panel from a running event loop and tells whether the close ended it.
    bool closeEndsTheProgram() {
        QTimer::singleShot(0, [] { Form1->close(); });
        QTimer stuck;
        stuck.setSingleShot(true);
        QObject::connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        stuck.start(20000);
        return QApplication::exec() == 0;
    }
    static std::vector<Entry> settingsEntries() {
        QFile file(settingsPath());
        if (!file.open(QIODevice::ReadOnly)) return {};
        std::vector<Entry> entries;
        std::string section;
        for (QByteArray line : file.readAll().split('\n')) {
            line = line.trimmed();
            if (line.startsWith('[')) {
                section = line.toStdString();
            } else if (int eq = line.indexOf('='); eq > 0) {
                entries.emplace_back(section + " " + line.left(eq).trimmed().toStdString(),
                                     line.mid(eq + 1).trimmed().toStdString());
            }
        }
        return entries;
    }
    static void writeSettings(const QByteArray &text) {
        QDir().mkpath(QFileInfo(settingsPath()).path());
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

TEST_F(Startup, FirstRunUsesTheDefaultsAndTheFirstCloseWritesElevenKeys) {
    createApp();
    EXPECT_EQ(Form1->pos(), QPoint(100, 100));
    EXPECT_EQ(LCD_DISPLAY->pos(), QPoint(50, 50));
    EXPECT_EQ(CD_Database->pos(), QPoint(10, 10));
    EXPECT_EQ(Form5->pos(), QPoint(10, 100));
    EXPECT_TRUE(EndlessOn);
    EXPECT_TRUE(Form1->PM_LOOP->Checked());
    EXPECT_TRUE(Form1->PM_DEEMPH->Checked());
    EXPECT_TRUE(platform::deemphasisEnabled());
    EXPECT_FALSE(LcdVisible);
    EXPECT_EQ(ScrollDelay, 250);
    EXPECT_EQ(applicationTitle(), QStringLiteral("CD-Tunewick32"));
    startApp();
    EXPECT_TRUE(LCD_DISPLAY->isHidden());
    EXPECT_EQ(Form1->PA_POWER->Tag, 1);
    ASSERT_TRUE(closeEndsTheProgram());
    const std::vector<Entry> expected = {
        {"[Tunewick] Pos(X)", "100"}, {"[Tunewick] Pos(Y)", "100"}, {"[Tunewick] LOOP", "1"},
        {"[Tunewick] Delay", "250"},  {"[LCD] Visible", "0"},       {"[LCD] Pos(X)", "50"},
        {"[LCD] Pos(Y)", "50"},       {"[DB] Pos(X)", "10"},        {"[DB] Pos(Y)", "10"},
        {"[Select] Pos(X)", "10"},    {"[Select] Pos(Y)", "100"},
    };
    EXPECT_EQ(settingsEntries(), expected);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Startup, MarqueeDelayIsReadFromTheLcdSectionAndWrittenToTheMainOne) {
    writeSettings("[LCD]\r\nDelay=100\r\n");
    startApp();
    EXPECT_EQ(ScrollDelay, 100);
    ShowScrollTitle(std::string(30, 'd'));
    EXPECT_EQ(waits, std::vector<int>(32, 100));
    ASSERT_TRUE(closeEndsTheProgram());
    std::vector<Entry> entries = settingsEntries();
    EXPECT_NE(std::find(entries.begin(), entries.end(), Entry{"[Tunewick] Delay", "100"}), entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), Entry{"[LCD] Delay", "100"}), entries.end());
}

TEST_F(Startup, TheDeemphasisSwitchIsReadAtStartAndRememberedWhenTheUserFlipsIt) {
    writeSettings("[Tunewick]\r\nDeemphasis=0\r\n");
    createApp();
    EXPECT_FALSE(Form1->PM_DEEMPH->Checked());
    EXPECT_FALSE(platform::deemphasisEnabled()) << "the drive would still filter";
    Form1->PM_DEEMPH->trigger();
    EXPECT_TRUE(Form1->PM_DEEMPH->Checked());
    EXPECT_TRUE(platform::deemphasisEnabled());
    EXPECT_EQ(settingsEntries(), (std::vector<Entry>{{"[Tunewick] Deemphasis", "1"}})) << "kept without waiting for the close";
}

TEST_F(Startup, NegativePositionsRoundTrip) {
    createApp();
    Form1->move(-20, -30);
    LCD_DISPLAY->move(-5, -6);
    Form5->move(-1, 7);
    ASSERT_TRUE(closeEndsTheProgram());
    destroyWindows();
    createWindows();
    Form1->MediaPlayer1->setDrive(&drive);
    EXPECT_EQ(Form1->pos(), QPoint(-20, -30));
    EXPECT_EQ(LCD_DISPLAY->pos(), QPoint(-5, -6));
    EXPECT_EQ(Form5->pos(), QPoint(-1, 7));
}

// The settings cannot be written: the error is shown and the program still ends.
TEST_F(Startup, RefusedSettingsWriteIsShownAndTheProgramStillEnds) {
    const QString folder = QFileInfo(settingsPath()).path();
    QDir(folder).removeRecursively();
    {
        QFile blocker(folder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    startApp();
    EXPECT_TRUE(closeEndsTheProgram());
    QFile::remove(folder);
    EXPECT_EQ(errors, std::vector<std::string>{"ROTOR.INI に書き込めません."});
}

TEST_F(Startup, HidingAndShowingThePanelKeepsPowerAndDisplay) {
    insert(twelveTrackDisc());
    startApp();
    Form1->PA_DISPClick(Form1->PA_DISP);
    ASSERT_TRUE(LcdVisible);
    for (int round = 0; round < 2; ++round) {
        Form1->PA_ICONClick(Form1->PA_ICON);
        EXPECT_TRUE(Form1->isHidden());
        Form1->show();
        EXPECT_TRUE(LcdVisible);
        EXPECT_FALSE(LCD_DISPLAY->isHidden());
        EXPECT_TRUE(Form1->PM_DISP->Checked());
        EXPECT_EQ(Form1->PA_POWER->Tag, 1);
    }
    EXPECT_EQ(std::count(drive.log().begin(), drive.log().end(), "open"), 1);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
