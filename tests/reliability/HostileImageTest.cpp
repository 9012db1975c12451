// Disc image sheets that libcdio's own parsers cannot take: opening one must give a reason for the
// user, never end the program.
#include "platform/backends/CdioSource.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace platform {
namespace {

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST(HostileImage, SheetsThatCrashTheParserAreRefusedWithAReason) {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a.bin")), QByteArray(40 * kSectorBytes, '\x11'));
    // cdrdao sheets name their data files relative to the working folder.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    struct Restore {
        QString folder;
        ~Restore() { QDir::setCurrent(folder); }
    } restore{previous};
    const struct {
        const char *name;
        QByteArray sheet;
    } sheets[] = {
        // A track without a mode: libcdio divides by its sector size, zero.
        {"track.toc", "TRACK \nFILE \"a.bin\" 0\n"},
        {"empty.cue", ""},
        {"binary.toc", QByteArray("\x00\xff\x01TRACK AUDIO\n\x00", 17)},
    };
    for (const auto &sheet : sheets) {
        const QString path = dir.filePath(QString::fromLatin1(sheet.name));
        writeFile(path, sheet.sheet);
        std::string reason;
        EXPECT_EQ(CdioSource::create(path.toStdString(), reason), nullptr) << sheet.name;
        EXPECT_NE(reason.find(sheet.name), std::string::npos) << reason;
    }
}

}  // namespace
}  // namespace platform
