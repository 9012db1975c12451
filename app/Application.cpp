#include "app/Application.h"

#include "app/LocalPath.h"
#include "app/OpenDisc.h"
#include "app/PlatformChoice.h"
#include "app/SecondStart.h"
#include "app/SingleInstance.h"
#include "app/Translation.h"
#include "catalogue/CatalogueEditor.h"
#include "catalogue/OnlineTitles.h"
#include "online/ModuleLookup.h"
#include "platform/SourceSwitch.h"
#include "ui/AboutBox.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/Keyboard.h"
#include "ui/LcdDisplay.h"
#include "ui/TrackSelector.h"
#include "ui/WindowGroup.h"
#include "ui/controls/Accessible.h"
#include "ui/controls/Fonts.h"

#include <QApplication>
#include <QFile>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

std::vector<DesktopService> &desktopServices() {
    static std::vector<DesktopService> services;
    return services;
}

// The single-instance guard's name. Test runs set TUNEWICK_TEST_GUARD to a word of their own, so
// that a test run neither ends at the developer's running player nor stops another test run;
// nothing else reads the variable, and without it every copy the user starts shares one guard.
QString singleInstanceName() {
    const QByteArray testGuard = qgetenv("TUNEWICK_TEST_GUARD");
    if (testGuard.isEmpty()) return QStringLiteral("Trotor");
    return QStringLiteral("Trotor-test-") + QString::fromLocal8Bit(testGuard);
}

// The path that the command line names: the first argument that is not an option (Qt has taken
// its own options out of argv already), with its bytes as given. A desktop may hand a file as a
// file:// URL, and an inserted audio CD as cdda://sr0.
QString pathArgument(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument.startsWith('-')) continue;
        const QUrl url = QUrl::fromEncoded(argument);
        if (url.isLocalFile()) return pathOfFileUrl(url);
        if (url.scheme() == QLatin1String("cdda") && !url.host().isEmpty())
            return QStringLiteral("/dev/") + url.host();
        return pathFromLocal(argument);
    }
    return {};
}

// The start-up line "drive: NAME; ..." with another drive's name.
std::string withDriveName(const std::string &description, const std::string &name) {
    const std::string label = "drive: ";
    if (!description.starts_with(label)) return description;
    return label + name + description.substr(std::min(description.find(';'), description.size()));
}

// The status of a second start: 0 once the running player took its message; else it says so.
int handOverToRunningPlayer(const SecondStart &start) {
    if (SingleInstanceGuard::handOver(singleInstanceName(), encodeSecondStart(start))) return 0;
    installInterfaceTranslation();
    const QString text =
        start.path.isEmpty()
            ? QCoreApplication::translate("Application", "起動中のプレーヤーが応答しませんでした。もう一度お試しください")
            : QCoreApplication::translate("Application", "起動中のプレーヤーに %1 を渡せませんでした。もう一度お試しください")
                  .arg(start.path);
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    return 1;
}

void answerSecondStart(const SecondStart &start) {
    runGuarded([&] {
        if (!start.path.isEmpty()) openDisc(start.path);
        comeForward(start.activationToken);
    });
}

std::vector<WindowAddition> &windowAdditions() {
    static std::vector<WindowAddition> additions;
    return additions;
}

}  // namespace

void addDesktopService(DesktopService start) { desktopServices().push_back(start); }
void addToWindows(WindowAddition add) { windowAdditions().push_back(add); }

void createWindows() {
    installAccessibleInterfaces();
    new TForm1;
    new TLCD_DISPLAY;
    new TAboutBox;
    new TCD_Database;
    new TForm5;
    setUpWindowGroup();
    setUpKeys();
    addOpenDiscItems(Form1->PM1, Form1->N2);
    for (QWidget *window :
         {static_cast<QWidget *>(Form1), static_cast<QWidget *>(LCD_DISPLAY), static_cast<QWidget *>(Form5)})
        acceptDiscDrops(window);
    for (WindowAddition add : windowAdditions()) add();
}

void destroyWindows() {
    delete Form5;
    delete CD_Database;
    delete AboutBox;
    delete LCD_DISPLAY;
    delete Form1;
    Form5 = nullptr;
    CD_Database = nullptr;
    AboutBox = nullptr;
    LCD_DISPLAY = nullptr;
    Form1 = nullptr;
}

int runApplication(int argc, char **argv, DriveMaker makeDrive) {
    const QByteArray activationToken = activationTokenOfThisStart();
    QApplication app(argc, argv);
    const QString argumentPath = pathArgument(argc, argv);
    // Another copy runs: hand it the path (or "come forward") and end at once, showing nothing and
    // writing nothing; a message that did not arrive is said on stderr.
    std::unique_ptr<SingleInstanceGuard> guard = SingleInstanceGuard::acquire(singleInstanceName());
    if (!guard) {
        SecondStart start = secondStartFromHere(argumentPath, activationToken);
        // "demo" names the demo disc, not a file in the folder the second start was made in.
        if (argumentPath == QLatin1String("demo")) start.path = argumentPath;
        return handOverToRunningPlayer(start);
    }
    QApplication::setApplicationName(QStringLiteral("cd-tunewick32"));
    QApplication::setQuitOnLastWindowClosed(false);
    installInterfaceTranslation();
    installFontSubstitutions(interfaceLanguage() == InterfaceLanguage::English);
    QApplication::setWindowIcon(programIcon());
    std::string description;
    const QString choice = startupChoice();
    if (choice == QLatin1String("demo")) putDemoTitlesInPlace();
    std::unique_ptr<platform::CdDrive> drive = makeDrive(localPath(choice).toStdString(), description);
    createWindows();
    receiveSecondStarts(guard->takeListeningDescriptor(), &answerSecondStart, &app);
    Form1->MediaPlayer1->setDrive(drive.get());
    // A path on the command line wins; one that cannot be played is said, and the drive stays.
    if (!argumentPath.isEmpty() && openDiscNow(argumentPath))
        description = withDriveName(description, platform::sourceSwitch()->choice());
    for (DesktopService start : desktopServices())
        description += "; " + start();
    description += platformNote();
    std::printf("%s\n", description.c_str());
    std::fflush(stdout);
    setTitleLookup(online::makeMusicBrainzLookup());
    Form1->show();
    int code = app.exec();
    setTitleLookup(nullptr);
    if (Form1->MediaPlayer1->isDeviceOpen()) Form1->MediaPlayer1->Close();
    destroyWindows();
    platform::setSourceSwitch(nullptr);
    return code;
}
