#include "platform/backends/DriveLookGate.h"

#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FolderChanges::FolderChanges(std::string folder) : m_folder(std::move(folder)) {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) return;
    const uint32_t events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF;
    if (inotify_add_watch(m_fd, m_folder.c_str(), events) < 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FolderChanges::~FolderChanges() {
    if (m_fd >= 0) ::close(m_fd);
}

// A missing folder counts as the time zero: it stays unchanged until it appears.
bool FolderChanges::changed() {
    if (m_fd >= 0) return drainEvents();
    struct stat info {};
    if (stat(m_folder.c_str(), &info) != 0) info.st_mtim = {};
    if (info.st_mtim.tv_sec == m_modified.tv_sec && info.st_mtim.tv_nsec == m_modified.tv_nsec) return false;
    m_modified = info.st_mtim;
    return true;
}

// Reads every event queued so far; their kinds do not matter, only that something happened.
bool FolderChanges::drainEvents() {
    bool any = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got > 0) {
            any = true;
            continue;
        }
        // Anything but an empty queue (a read error) is taken as a change: a look too many is cheap,
        // a drive missed is not.
        if (got < 0 && errno == EINTR) continue;
        return any || !(got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
    }
}

DriveLookGate::DriveLookGate(std::string folder, Look look, std::chrono::steady_clock::duration settle)
    : m_changes(std::move(folder)), m_look(std::move(look)), m_settle(settle) {}

std::string DriveLookGate::operator()() {
    const auto now = std::chrono::steady_clock::now();
    const bool changed = m_changes.changed();
    if (changed) m_lookUntil = now + m_settle;
    if (m_looked && !changed && now >= m_lookUntil) return "";
    m_looked = true;
    return m_look();
}

int DriveLookGate::quietUntilReadable() const {
    if (!m_looked || !m_changes.watching() || std::chrono::steady_clock::now() < m_lookUntil) return -1;
    return m_changes.descriptor();
}

} // namespace platform
