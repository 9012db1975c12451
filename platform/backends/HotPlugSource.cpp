#include "platform/backends/HotPlugSource.h"

#include "platform/backends/CdioSource.h"
#include "platform/backends/DriveLookGate.h"

#include <cdio/cdio.h>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace platform {

namespace {

// A USB drive unplugged and plugged back gets a new node, even under the same name.
std::string nodeIdentity(const std::string &path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return "";
    return std::to_string(info.st_rdev) + ":" + std::to_string(info.st_ino);
}

// libcdio's look for the default drive reads the mount tables and probes every candidate node,
// about 0.35 ms of a second's worth of idle work. A drive that is plugged in (or appears late at
// boot) makes its node in /dev, so the look runs at start and then only while /dev changes; a
// watch on /dev costs one read of an empty queue a second.
constexpr auto kSettleAfterDevChange = std::chrono::seconds(30);

HotPlugSource::Finder systemFinder() {
    auto gate = std::make_shared<DriveLookGate>("/dev", &HotPlugSource::defaultDrive, kSettleAfterDevChange);
    return {[gate] { return (*gate)(); }, &nodeIdentity,
            [](const std::string &path, std::string &reason) {
                return std::shared_ptr<SectorSource>(CdioSource::create(path, reason));
            },
            [gate] { return gate->quietUntilReadable(); }};
}

} // namespace

HotPlugSource::HotPlugSource(Finder finder, std::shared_ptr<SectorSource> drive, const std::string &path,
                             std::chrono::milliseconds lookInterval)
    : m_finder(std::move(finder)), m_lookInterval(lookInterval) {
    if (drive) take(std::move(drive), path);
}

std::string HotPlugSource::defaultDrive() {
    char *device = cdio_get_default_device(nullptr);
    if (!device) return "";
    std::string path = device;
    std::free(device);
    return path;
}

std::shared_ptr<SectorSource> HotPlugSource::forSystemDrive(const std::string &path, std::string &reason) {
    // A drive that has gone since start is looked for again; one that is there must be usable.
    std::shared_ptr<SectorSource> drive;
    if (!path.empty() && !nodeIdentity(path).empty()) {
        drive = CdioSource::create(path, reason);
        if (!drive) return nullptr;
    }
    return std::make_shared<HotPlugSource>(systemFinder(), drive, drive ? path : "");
}

MediaState HotPlugSource::poll(TableOfContents &toc) {
    if (m_drive && m_finder.identify(m_path) != m_identity) letGo();
    if (!m_drive) look();
    if (!m_drive) return MediaState::NoDrive;
    MediaState state = m_drive->poll(toc);
    if (state == MediaState::NoDrive) letGo();
    return state;
}

int HotPlugSource::quietUntilReadable() const {
    if (m_drive || !m_finder.quietUntilReadable) return -1;
    return m_finder.quietUntilReadable();
}

bool HotPlugSource::read(int lsn, int count, uint8_t *out) { return m_drive && m_drive->read(lsn, count, out); }

bool HotPlugSource::eject() { return m_drive && m_drive->eject(); }

void HotPlugSource::look() {
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextLook) return;
    m_nextLook = now + m_lookInterval;
    const std::string path = m_finder.find();
    if (path.empty()) {
        m_refusedPath.clear();
        return;
    }
    std::string reason;
    std::shared_ptr<SectorSource> drive = m_finder.open(path, reason);
    if (!drive) {
        // Said once, not every second: the user fixes it (a group, a new login) and replugs.
        if (path != m_refusedPath) std::fprintf(stderr, "%s\n", reason.c_str());
        m_refusedPath = path;
        return;
    }
    take(std::move(drive), path);
}

void HotPlugSource::take(std::shared_ptr<SectorSource> drive, const std::string &path) {
    m_drive = std::move(drive);
    m_path = path;
    m_identity = m_finder.identify(path);
    m_refusedPath.clear();
}

void HotPlugSource::letGo() {
    // Not looked for again at once: the drive stays gone for one look interval, long enough for the
    // player's poll to see the disc go even when the same drive is back under a new node.
    m_nextLook = std::chrono::steady_clock::now() + m_lookInterval;
    m_drive.reset();
    m_path.clear();
    m_identity.clear();
}

} // namespace platform
