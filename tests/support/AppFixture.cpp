#include "tests/support/AppFixture.h"

#include "app/Application.h"
#include "catalogue/CatalogueFile.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"
#include "ui/Modal.h"
#include "ui/controls/Timer.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QStandardPaths>

void AppFixture::SetUp() {
    QDir(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/cd-tunewick32")).removeRecursively();
    QDir(catalogueFolder()).removeRecursively();
    resetPlayerState();
    TTimer::holdAllTimers(true);
    setErrorSink([this](const QString &, const QString &message) { errors.push_back(message.toStdString()); });
    setModalHook([this](QDialog *dialog) {
        ++modalCount;
        return answerModal ? answerModal(dialog) : int(QDialog::Rejected);
    });
    setWaitHook([this](int ms) {
        waits.push_back(ms);
        runFor(std::max(ms, 1));
    });
    setTitleLineObserver([this](const std::string &text) { titleLine.push_back(text); });
    setHelpHook([](const QString &, int) {});
}

void AppFixture::TearDown() {
    if (m_created) destroyWindows();
    setErrorSink({});
    setModalHook({});
    setWaitHook({});
    setTitleLineObserver({});
    setHelpHook({});
    TTimer::holdAllTimers(false);
}

void AppFixture::createApp() {
    createWindows();
    m_created = true;
    Form1->MediaPlayer1->setDrive(&drive);
}

void AppFixture::startApp() {
    if (!m_created) createApp();
    runGuarded([] { Form1->FormShow(Form1); });
}

void AppFixture::insert(const platform::SimulatedDisc &disc) { drive.insert(disc); }

void AppFixture::tick(int count) {
    for (int i = 0; i < count; ++i) {
        drive.advance(250);
        runGuarded([] { Form1->Timer1Timer(Form1->Timer1); });
    }
}

void AppFixture::runFor(int ms) {
    while (ms > 0) {
        int step = std::min(ms, 250 - m_sinceTick);
        drive.advance(step);
        ms -= step;
        m_sinceTick += step;
        if (m_sinceTick < 250) continue;
        m_sinceTick = 0;
        if (nestedTicks && Form1->Timer1->Enabled()) runGuarded([] { Form1->Timer1Timer(Form1->Timer1); });
    }
}

QString AppFixture::settingsPath() {
    return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/cd-tunewick32/ROTOR.INI");
}

QString AppFixture::catalogueFolder() { return catalogue::catalogueFolder(); }

void AppFixture::writeCatalogue(uint32_t discLength, const std::vector<std::string> &lines) {
    catalogue::writeFile(QDir(catalogueFolder()).filePath(catalogue::fileNameForLength(discLength)), lines);
}

platform::SimulatedDisc twelveTrackDisc() {
    platform::SimulatedDisc disc =
        platform::SimulatedDisc::ofSeconds({185, 242, 201, 317, 158, 263, 229, 194, 276, 212, 305, 247});
    disc.trackFrames[2] += 37;
    disc.trackFrames[6] += 12;
    return disc;
}
