#include "platform/GuardFolder.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder that only this user can enter: nobody else can put a file or a socket in it.
bool isPrivateFolder(const QByteArray &path, bool followLink) {
    struct stat info {};
    const int result = followLink ? ::stat(path.constData(), &info) : ::lstat(path.constData(), &info);
    return result == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

} // namespace

QByteArray guardFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && isPrivateFolder(runtime, true)) return runtime;
    const QByteArray own = "/tmp/cd-tunewick32-" + QByteArray::number(::getuid());
    ::mkdir(own.constData(), 0700);
    return isPrivateFolder(own, false) ? own : QByteArray();
}
