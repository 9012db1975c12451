#pragma once

#include "platform/GuardFolder.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <sys/types.h>

// The single-instance guard: a per-user name that exists while the owning process lives and is
// free again when it dies, also by SIGKILL. Its existence keeps a second copy from running; the
// second copy hands its message (a path to open, or "come forward") through it before it ends.
// Only processes of the same user reach it, and no other user can take the name first.
class SingleInstanceGuard {
public:
    virtual ~SingleInstanceGuard() = default;
    // Takes the name `name` for this process, or returns nullptr when another live process holds it.
    // When the guard cannot be set up at all (no private folder, no descriptors), a guard that
    // guards nothing is returned: refusing to start would lock the user out. Never blocks.
    static std::unique_ptr<SingleInstanceGuard> acquire(const QString &name);
    // A new descriptor of the guard's socket, listening for second starts, for the caller to own;
    // -1 when the guard could not be set up.
    virtual int takeListeningDescriptor() const = 0;
    // Sends `message` to the process of this user that holds `name`, and waits until it says it
    // took the message. A player that is starting or busy gets a few seconds; false when the message
    // did not arrive (nothing listens, another user listens, no answer in time).
    static bool handOver(const QString &name, const QByteArray &message);
};

// The socket of guard `name` in `folder`.
QByteArray guardSocketPath(const QByteArray &folder, const QString &name);
// The answer of the running player to a message it took.
inline constexpr char kHandOverTaken[] = "taken\n";
// The user id of the process at the other end of the Unix socket `fd`; (uid_t)-1 when unknown.
uid_t socketPeerUid(int fd);
