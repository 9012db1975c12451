#include "app/SingleInstance.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Holds a Unix socket bound to a name in the abstract namespace. The kernel drops the name with the
// last descriptor, so it vanishes however the process ends, SIGKILL included, and no file is left
// behind. The socket never listens: the name alone is the guard. It is opened close-on-exec so that
// programs started from here (a help browser) do not inherit it.
class AbstractSocketGuard : public SingleInstanceGuard {
public:
    explicit AbstractSocketGuard(int fd) : m_fd(fd) {}
    ~AbstractSocketGuard() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    AbstractSocketGuard(const AbstractSocketGuard &) = delete;
    AbstractSocketGuard &operator=(const AbstractSocketGuard &) = delete;

private:
    int m_fd;
};

}  // namespace

std::unique_ptr<SingleInstanceGuard> SingleInstanceGuard::acquire(const QString &name) {
    // The user id in the name keeps the guards of different users apart.
    const QByteArray id = (name + QLatin1Char('-') + QString::number(::getuid())).toUtf8();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // sun_path[0] stays 0: that marks an abstract name.
    const std::size_t length = std::min(static_cast<std::size_t>(id.size()), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, id.constData(), length);

    // Only a name held by another process stops this one. When the guard cannot be set up for any
    // other reason (no descriptors left, sockets forbidden), the run goes on without it: refusing to
    // start would lock the user out for good.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::make_unique<AbstractSocketGuard>(-1);
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), size) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EADDRINUSE) return nullptr;
        return std::make_unique<AbstractSocketGuard>(-1);
    }
    return std::make_unique<AbstractSocketGuard>(fd);
}
