#include "platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

std::optional<QString> replaceFileAtomically(const QString &path, std::string_view bytes) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) return QStringLiteral("cannot create the folder ") + folder;
    QSaveFile file(path);
    // Unbuffered: a buffered QSaveFile flushes inside commit(), which then replaces the target even
    // when that flush fell short (a full disk, a file size limit), leaving a cut-off file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return file.errorString();
    errno = 0;
    // The data is synced here, where a failure can still cancel the save: commit() alone would
    // replace the file even when the data never reached the disk.
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size || !file.flush() || ::fsync(file.handle()) != 0) {
        // A short write (a full disk) sets no error on the device; errno still tells why.
        const int error = errno;
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString()
                               : error != 0                         ? qt_error_string(error)
                                                                    : QStringLiteral("short write");
        file.cancelWriting();
        file.commit();
        return reason;
    }
    if (!file.commit()) return file.errorString();
    return std::nullopt;
}

std::optional<QString> replaceFileNotFollowingLinks(const QString &path, std::string_view bytes) {
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    // mkostemp creates with O_EXCL: a link planted under the new name makes it fail, never followed.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return qt_error_string(errno);
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return std::optional<QString>(qt_error_string(error));
    };
    for (size_t written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : ENOSPC);
        written += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) return fail(errno);
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) return fail(errno);
    ::close(fd);
    return std::nullopt;
}

}  // namespace platform
