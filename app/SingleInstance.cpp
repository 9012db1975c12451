#include "app/SingleInstance.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// How long a second start tries to reach a player that is starting or busy, and then waits for
// its answer.
constexpr int kConnectTryMs = 3000;
constexpr int kAnswerWaitMs = 5000;
constexpr int kConnectPauseMs = 20;

// The lock file says who owns the name: the kernel drops a flock with the last descriptor of its
// file, so the name is free again however the owner ended. The socket beside it takes second
// starts; a socket left by a dead owner is replaced by the next one. Both are opened close-on-exec
// so that programs started from here (a help browser) do not inherit them.
class FolderGuard : public SingleInstanceGuard {
public:
    FolderGuard() = default;
    FolderGuard(int lockFd, int socketFd, QByteArray socketPath)
        : m_lockFd(lockFd), m_socketFd(socketFd), m_socketPath(std::move(socketPath)) {}
    ~FolderGuard() override {
        // Unlinked while the lock is still held, so that it is never the next owner's socket.
        if (m_socketFd >= 0) {
            ::unlink(m_socketPath.constData());
            ::close(m_socketFd);
        }
        if (m_lockFd >= 0) ::close(m_lockFd);
    }
    FolderGuard(const FolderGuard &) = delete;
    FolderGuard &operator=(const FolderGuard &) = delete;

    int takeListeningDescriptor() const override {
        return m_socketFd < 0 ? -1 : ::fcntl(m_socketFd, F_DUPFD_CLOEXEC, 0);
    }

private:
    int m_lockFd = -1;
    int m_socketFd = -1;
    QByteArray m_socketPath;
};

// A file name of `name`'s own: letters that need no quoting, and short enough for a socket address.
QByteArray fileStem(const QString &name) {
    QByteArray stem = name.toUtf8();
    for (char &c : stem)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
    if (stem.size() > 40 || stem.startsWith('.'))
        stem = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex();
    return stem;
}

bool addressOf(const QByteArray &path, sockaddr_un &address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path)) return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    return true;
}

// A socket of the player listening at `path`; -1 when it could not be made.
int listenAt(const QByteArray &path) {
    sockaddr_un address;
    if (!addressOf(path, address)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    ::unlink(path.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::chmod(path.constData(), 0600) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Connects to the socket at `path`, trying again while the player is starting (no socket yet) or
// its queue is full, for a few seconds. -1 when it could not be reached.
int connectTo(const QByteArray &path, const QElapsedTimer &clock) {
    sockaddr_un address;
    if (!addressOf(path, address)) return -1;
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) return -1;
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) return fd;
        const int error = errno;
        ::close(fd);
        const bool later = error == EAGAIN || error == ECONNREFUSED || error == ENOENT || error == EINTR;
        if (!later || clock.elapsed() >= kConnectTryMs) return -1;
        ::usleep(kConnectPauseMs * 1000);
    }
}

bool waitFor(int fd, short events, const QElapsedTimer &clock) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const qint64 left = kConnectTryMs + kAnswerWaitMs - clock.elapsed();
        if (left <= 0) return false;
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

bool sendAll(int fd, const QByteArray &message, const QElapsedTimer &clock) {
    for (qsizetype done = 0; done < message.size();) {
        const ssize_t written =
            ::send(fd, message.constData() + done, static_cast<size_t>(message.size() - done), MSG_NOSIGNAL);
        if (written > 0) {
            done += written;
        } else if (written < 0 && errno == EAGAIN) {
            if (!waitFor(fd, POLLOUT, clock)) return false;
        } else if (written == 0 || errno != EINTR) {
            return false;
        }
    }
    return ::shutdown(fd, SHUT_WR) == 0;
}

bool answeredTaken(int fd, const QElapsedTimer &clock) {
    QByteArray answer;
    while (answer.size() < qsizetype(sizeof kHandOverTaken) && waitFor(fd, POLLIN, clock)) {
        char buffer[16];
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN)) break;
        if (count > 0) answer.append(buffer, count);
    }
    return answer == kHandOverTaken;
}

} // namespace

uid_t socketPeerUid(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return static_cast<uid_t>(-1);
    return credentials.uid;
}

QByteArray guardSocketPath(const QByteArray &folder, const QString &name) {
    return folder + '/' + fileStem(name) + ".socket";
}

bool SingleInstanceGuard::handOver(const QString &name, const QByteArray &message) {
    const QByteArray folder = guardFolder();
    if (folder.isEmpty()) return false;
    QElapsedTimer clock;
    clock.start();
    const int fd = connectTo(guardSocketPath(folder, name), clock);
    if (fd < 0) return false;
    // The folder is private, yet only a player of this same user is told anything.
    const bool taken =
        socketPeerUid(fd) == ::getuid() && sendAll(fd, message, clock) && answeredTaken(fd, clock);
    ::close(fd);
    return taken;
}

std::unique_ptr<SingleInstanceGuard> SingleInstanceGuard::acquire(const QString &name) {
    const QByteArray folder = guardFolder();
    if (folder.isEmpty()) return std::make_unique<FolderGuard>();
    const QByteArray lockPath = folder + '/' + fileStem(name) + ".lock";
    const int lockFd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd < 0) return std::make_unique<FolderGuard>();
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(lockFd);
        if (error == EWOULDBLOCK) return nullptr;
        return std::make_unique<FolderGuard>();
    }
    // A guard that cannot listen still guards; second starts then say that they were not heard.
    const QByteArray socketPath = guardSocketPath(folder, name);
    return std::make_unique<FolderGuard>(lockFd, listenAt(socketPath), socketPath);
}
