#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <string>

namespace platform {

// Tells whether a folder's entries have changed since the last call. Through inotify it sees a
// node made, removed or renamed there and a node's owner or mode changed (udev gives a new drive's
// node its group a moment after the kernel makes it). When the system has no inotify watch to
// spare it falls back to the folder's modification time, which an owner or mode change leaves alone.
class FolderChanges {
public:
    explicit FolderChanges(std::string folder);
    ~FolderChanges();
    FolderChanges(const FolderChanges &) = delete;
    FolderChanges &operator=(const FolderChanges &) = delete;

    // Never blocks. Through inotify the first call tells the changes since construction; through
    // the modification time the first call is always true.
    bool changed();
    bool watching() const { return m_fd >= 0; }
    // The inotify descriptor (readable once something has changed), or -1.
    int descriptor() const { return m_fd; }

private:
    bool drainEvents();

    std::string m_folder;
    int m_fd = -1;
    timespec m_modified{0, -1};  // no time stat gives: the first call counts as a change
};

// Decides when the system's full look for its default drive, which reads the mount tables and
// probes every candidate node, is worth running: at the first call, at a call after the device
// folder has changed, and at every call for `settle` after such a change (a drive's node and its
// links and group come one after another). Without inotify the start counts as a change, so the
// first `settle` after it are looked through as well. Drive worker thread only.
class DriveLookGate {
public:
    using Look = std::function<std::string()>;

    DriveLookGate(std::string folder, Look look, std::chrono::steady_clock::duration settle);

    // The default drive's node from the look, or empty when the look found none or did not run.
    std::string operator()();
    bool watching() const { return m_changes.watching(); }
    // While no look is due until the folder changes (after the first look and past the settling
    // time, with inotify): the descriptor that becomes readable when it does; -1 otherwise.
    int quietUntilReadable() const;

private:
    FolderChanges m_changes;
    Look m_look;
    std::chrono::steady_clock::duration m_settle;
    std::chrono::steady_clock::time_point m_lookUntil{};
    bool m_looked = false;
};

} // namespace platform
