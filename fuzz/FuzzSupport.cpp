#include "fuzz/FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

const QString &scratchFolder() {
    static QTemporaryDir *folder = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        auto *dir = new QTemporaryDir(base + QStringLiteral("/tunewick-fuzz-XXXXXX"));
        if (!dir->isValid()) fail("cannot create a scratch folder");
        std::atexit([] { delete folder; });
        return dir;
    }();
    static const QString path = folder->path();
    return path;
}

void writeBytes(const QString &path, std::string_view bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) fail("cannot write a scratch file");
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        fail("short write to a scratch file");
}

std::string readBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = file.readAll();
    return {data.constData(), static_cast<std::size_t>(data.size())};
}

void fail(const char *what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

}  // namespace fuzz
