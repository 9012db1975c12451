#include "tests/catalogue/CatalogueFixture.h"

#include "catalogue/CatalogueFile.h"
#include "platform/Cp932.h"
#include "player/TimeFormat.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QMessageBox>

#include <numeric>

uint32_t CatalogueFixture::lengthOf(const platform::SimulatedDisc &disc) {
    const int frames = std::accumulate(disc.trackFrames.begin(), disc.trackFrames.end(), 0);
    return msf::fromFrames(frames - 1);
}

QString CatalogueFixture::pathOf(uint32_t discLength) {
    return QDir(catalogueFolder()).filePath(catalogue::fileNameForLength(discLength));
}

std::string CatalogueFixture::fileBytes(uint32_t discLength) {
    QFile file(pathOf(discLength));
    if (!file.open(QIODevice::ReadOnly)) return "<none>";
    return file.readAll().toStdString();
}

void CatalogueFixture::load(const platform::SimulatedDisc &disc) {
    insert(disc);
    if (!m_started) startApp();
    m_started = true;
    tick();
}

void CatalogueFixture::eject() {
    drive.openDoor();
    tick();
}

bool CatalogueFixture::isQuestion(QDialog *dialog) { return qobject_cast<QMessageBox *>(dialog) != nullptr; }

bool CatalogueFixture::press(QDialog *dialog, const QString &caption) {
    auto *box = qobject_cast<QMessageBox *>(dialog);
    if (!box) return false;
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() != caption) continue;
        button->click();
        return true;
    }
    return false;
}

std::string sjis(const char *utf8) { return cp932::fromUtf8(utf8); }
