#include "app/SingleInstance.h"

#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Holds a Unix socket bound to a name in the abstract namespace. The kernel drops the name with the
// last descriptor, so it vanishes however the process ends, SIGKILL included, and no file is left
// behind. The socket listens, so that a second start can hand over its message before it ends. It is
// opened close-on-exec so that programs started from here (a help browser) do not inherit it.
class AbstractSocketGuard : public SingleInstanceGuard {
public:
    explicit AbstractSocketGuard(int fd) : m_fd(fd) {}
    ~AbstractSocketGuard() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    AbstractSocketGuard(const AbstractSocketGuard &) = delete;
    AbstractSocketGuard &operator=(const AbstractSocketGuard &) = delete;

    int takeListeningDescriptor() const override { return m_fd < 0 ? -1 : ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0); }

private:
    int m_fd;
};

// The guard's address. The user id in the name keeps the guards of different users apart.
socklen_t abstractAddress(const QString &name, sockaddr_un &address) {
    const QByteArray id = (name + QLatin1Char('-') + QString::number(::getuid())).toUtf8();
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    // sun_path[0] stays 0: that marks an abstract name.
    const std::size_t length = std::min(static_cast<std::size_t>(id.size()), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, id.constData(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

}  // namespace

bool SingleInstanceGuard::handOver(const QString &name, const QByteArray &message) {
    sockaddr_un address;
    const socklen_t size = abstractAddress(name, address);
    // Non-blocking: a player too busy to take the message must not hold this start.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    bool sent = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), size) == 0;
    for (qsizetype done = 0; sent && done < message.size();) {
        const ssize_t written =
            ::send(fd, message.constData() + done, static_cast<size_t>(message.size() - done), MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) continue;
        sent = written > 0;
        if (sent) done += written;
    }
    ::close(fd);
    return sent;
}

std::unique_ptr<SingleInstanceGuard> SingleInstanceGuard::acquire(const QString &name) {
    sockaddr_un address;
    const socklen_t size = abstractAddress(name, address);

    // Only a name held by another process stops this one. When the guard cannot be set up for any
    // other reason (no descriptors left, sockets forbidden), the run goes on without it: refusing to
    // start would lock the user out for good.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::make_unique<AbstractSocketGuard>(-1);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), size) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EADDRINUSE) return nullptr;
        return std::make_unique<AbstractSocketGuard>(-1);
    }
    // A guard that cannot listen still guards; second starts then end without being heard.
    ::listen(fd, 8);
    return std::make_unique<AbstractSocketGuard>(fd);
}
