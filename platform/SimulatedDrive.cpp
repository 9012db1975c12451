#include "platform/SimulatedDrive.h"

#include <algorithm>

namespace platform {

SimulatedDisc SimulatedDisc::ofSeconds(const std::vector<int> &seconds) {
    SimulatedDisc disc;
    for (int s : seconds) disc.trackFrames.push_back(s * kFramesPerSecond);
    return disc;
}

SimulatedDisc SimulatedDisc::uniform(int count, int seconds, int frames) {
    SimulatedDisc disc;
    disc.trackFrames.assign(static_cast<size_t>(count), seconds * kFramesPerSecond + frames);
    return disc;
}

TableOfContents SimulatedDisc::toc() const {
    TableOfContents toc;
    if (trackFrames.empty()) return toc;
    toc.firstTrack = 1;
    toc.lastTrack = static_cast<int>(trackFrames.size());
    int sector = firstStart;
    for (size_t i = 0; i < trackFrames.size(); ++i) {
        const bool data = i < dataTrack.size() && dataTrack[i];
        if (data && sessionGap > 0 && i > 0 && !toc.dataTrack.back() && toc.firstSessionLeadOut == 0) {
            toc.firstSessionLeadOut = sector;
            sector += sessionGap;
        }
        toc.trackStart.push_back(sector);
        toc.dataTrack.push_back(i < dataTrack.size() && dataTrack[i]);
        sector += trackFrames[i];
    }
    toc.leadOut = sector;
    toc.text = text;
    toc.preemphasis = preemphasis;
    return toc;
}

// Without a clock of its own the drive runs on its virtual time; a copy keeps its own time.
SimulatedDrive::SimulatedDrive() = default;

SimulatedDrive::SimulatedDrive(std::function<long long()> nowMs) : m_clock(std::move(nowMs)) {}

long long SimulatedDrive::now() const { return m_clock ? m_clock() : m_virtualNow; }

void SimulatedDrive::advance(int ms) { m_virtualNow += ms; }

void SimulatedDrive::insert(const SimulatedDisc &disc) {
    m_disc = disc;
    m_state = DriveState::Stopped;
    m_position = disc.firstStart;
    closeDoor();
}

void SimulatedDrive::pullDisc() {
    settle();
    m_disc.reset();
    m_state = DriveState::Stopped;
}

void SimulatedDrive::openDoor() {
    settle();
    m_doorOpen = true;
    m_state = DriveState::Stopped;
}

void SimulatedDrive::closeDoor() {
    if (m_doorOpen || !m_disc) m_closedAt = now();
    m_doorOpen = false;
    if (m_disc) m_position = m_disc->firstStart;
}

void SimulatedDrive::stall(int ms) {
    settle();
    if (m_state == DriveState::Playing) {
        m_position = playingSector();
        m_playFrom = m_position;
        m_playStartedAt = now() + ms;
    }
    m_stallUntil = now() + ms;
}

bool SimulatedDrive::ready() const {
    return m_open && !m_doorOpen && m_disc && now() - m_closedAt >= m_readyDelayMs;
}

bool SimulatedDrive::takeFailure(Op op) {
    auto it = std::find(m_failures.begin(), m_failures.end(), op);
    if (it == m_failures.end()) return false;
    m_failures.erase(it);
    return true;
}

int SimulatedDrive::playingSector() const {
    long long elapsed = std::max(0LL, now() - m_playStartedAt);
    long long sector = m_playFrom + elapsed * kFramesPerSecond / 1000;
    return static_cast<int>(std::min<long long>(sector, m_playEnd - 1));
}

void SimulatedDrive::settle() const {
    if (m_state != DriveState::Playing) return;
    long long elapsed = now() - m_playStartedAt;
    if (m_playFrom + elapsed * kFramesPerSecond / 1000 >= m_playEnd) {
        m_position = m_playEnd - 1;
        m_state = DriveState::Stopped;
    }
}

bool SimulatedDrive::open(std::string &reason) {
    record("open");
    if (!m_openFailure.empty() || takeFailure(Op::Open)) {
        reason = m_openFailure;
        return false;
    }
    m_open = true;
    return true;
}

void SimulatedDrive::close() {
    record("close");
    settle();
    if (m_state == DriveState::Playing) m_position = playingSector();
    m_state = DriveState::Stopped;
    m_open = false;
}

DriveStatus SimulatedDrive::status() const {
    if (!m_open || !m_lateFailure.empty()) return {DriveState::NoDrive, 0};
    if (m_doorOpen) return {DriveState::TrayOpen, 0};
    if (!ready()) return {DriveState::NoDisc, 0};
    settle();
    if (m_state == DriveState::Playing) return {DriveState::Playing, playingSector()};
    return {m_state, m_position};
}

TableOfContents SimulatedDrive::toc() const { return ready() ? m_disc->toc() : TableOfContents{}; }

bool SimulatedDrive::play(int sector) {
    record("play " + std::to_string(sector));
    if (!ready() || takeFailure(Op::Play)) return false;
    TableOfContents t = m_disc->toc();
    if (sector < t.startOf(t.firstTrack) || sector >= t.leadOut) return false;
    int track = t.trackAt(sector);
    if (t.isData(track)) return false;
    m_playFrom = sector;
    m_playEnd = t.audioEndFrom(track);
    m_playStartedAt = std::max(now(), m_stallUntil);
    m_state = DriveState::Playing;
    return true;
}

bool SimulatedDrive::stop() {
    record("stop");
    if (!ready() || takeFailure(Op::Stop)) return false;
    settle();
    if (m_state == DriveState::Playing) m_position = playingSector();
    m_state = DriveState::Stopped;
    return true;
}

bool SimulatedDrive::pause() {
    record("pause");
    if (!ready() || takeFailure(Op::Pause)) return false;
    settle();
    if (m_state != DriveState::Playing) return false;
    m_position = playingSector();
    m_state = DriveState::Paused;
    return true;
}

bool SimulatedDrive::resume() {
    record("resume");
    if (!ready() || takeFailure(Op::Resume) || m_state != DriveState::Paused) return false;
    TableOfContents t = m_disc->toc();
    m_playFrom = m_position;
    m_playEnd = t.audioEndFrom(t.trackAt(m_position));
    m_playStartedAt = std::max(now(), m_stallUntil);
    m_state = DriveState::Playing;
    return true;
}

bool SimulatedDrive::seek(int sector) {
    record("seek " + std::to_string(sector));
    if (!ready() || takeFailure(Op::Seek)) return false;
    TableOfContents t = m_disc->toc();
    if (sector < t.startOf(t.firstTrack) || sector >= t.leadOut) return false;
    m_position = sector;
    m_state = DriveState::Stopped;
    return true;
}

bool SimulatedDrive::eject() {
    record("eject");
    if (!m_open || !m_canEject || takeFailure(Op::Eject)) return false;
    openDoor();
    return true;
}

}  // namespace platform
