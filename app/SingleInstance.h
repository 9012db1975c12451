#pragma once

#include <QString>

#include <memory>

// The single-instance guard: a per-user system-wide name that exists while the owning process
// lives and vanishes when it dies, also by SIGKILL. Only its existence matters.
class SingleInstanceGuard {
public:
    virtual ~SingleInstanceGuard() = default;
    // Takes the name `name` for this process, or returns nullptr when another live process holds it.
    // Never blocks.
    static std::unique_ptr<SingleInstanceGuard> acquire(const QString &name);
};
