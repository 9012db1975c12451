#include "app/Application.h"
#include "platform/backends/DriveFactory.h"
#include "platform/Cp932.h"
#include "ui/LcdDisplay.h"

#include <QFile>

#include <cstdlib>

namespace {

// With TUNEWICK_TITLE_LOG set, every text put on the LCD's title line is appended to that file
// (UTF-8, one per line), so that tests of the real program can see what the display shows.
void logTitleLineWhenAsked() {
    const char *path = std::getenv("TUNEWICK_TITLE_LOG");
    if (!path || !*path) return;
    setTitleLineObserver([file = QString::fromLocal8Bit(path)](const std::string &text) {
        QFile log(file);
        if (!log.open(QIODevice::Append)) return;
        log.write(cp932::decode(text).toUtf8() + '\n');
    });
}

}  // namespace

int main(int argc, char **argv) {
    logTitleLineWhenAsked();
    return runApplication(argc, argv, &platform::createDriveFromEnvironment);
}
