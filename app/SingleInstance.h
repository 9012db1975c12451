#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// The single-instance guard: a per-user system-wide name that exists while the owning process
// lives and vanishes when it dies, also by SIGKILL. Its existence keeps a second copy from running;
// the second copy hands its message (a path to open, or "come forward") through it before it ends.
class SingleInstanceGuard {
public:
    virtual ~SingleInstanceGuard() = default;
    // Takes the name `name` for this process, or returns nullptr when another live process holds it.
    // Never blocks.
    static std::unique_ptr<SingleInstanceGuard> acquire(const QString &name);
    // A new descriptor of the guard's socket, listening for second starts, for the caller to own;
    // -1 when the guard could not be set up.
    virtual int takeListeningDescriptor() const = 0;
    // Sends `message` to the process that holds `name` and returns at once: the message is small
    // and waits in the socket. False when nothing listens there.
    static bool handOver(const QString &name, const QByteArray &message);
};
