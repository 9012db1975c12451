#include "player/CdAudioDevice.h"

#include "player/TimeFormat.h"

#include <QCoreApplication>

using platform::DriveState;
using platform::TableOfContents;

namespace {
constexpr int kErrNotReady = 1;
constexpr int kErrOutOfRange = 2;
constexpr int kErrRefused = 3;
constexpr const char *kNoDevice = QT_TRANSLATE_NOOP("TMediaPlayer", "MCI ﾃﾞﾊﾞｲｽがありません");
constexpr const char *kUnknownError = QT_TRANSLATE_NOOP("TMediaPlayer", "原因不明のｴﾗｰ");

std::string translated(const char *text) { return QCoreApplication::translate("TMediaPlayer", text).toStdString(); }
}  // namespace

void CdAudioDevice::requireOpen() const {
    if (!m_open || !m_drive) throw EMCIDeviceError(translated(kNoDevice));
}

void CdAudioDevice::Open() {
    if (m_open) Close();
    std::string reason;
    if (!m_drive || !m_drive->open(reason)) throw EMCIDeviceError(reason.empty() ? translated(kUnknownError) : reason);
    m_open = true;
    m_deviceId = 1;
    m_lastError = 0;
    m_canEject = m_drive->canEject();
    m_hasStart = false;
    m_lateFailureShown = false;
}

void CdAudioDevice::CheckLateFailure() {
    if (!m_open || m_lateFailureShown) return;
    std::string failure = m_drive->failure();
    if (failure.empty()) return;
    m_lateFailureShown = true;
    throw EMCIDeviceError(failure);
}

void CdAudioDevice::Close() {
    if (m_deviceId == 0) return;
    m_drive->close();
    m_open = false;
    m_deviceId = 0;
}

int CdAudioDevice::sectorOf(uint32_t v) const {
    TableOfContents toc = m_drive->toc();
    int track = tmsf::track(v);
    if (!toc.hasTrack(track)) return -1;
    int offset = (tmsf::minutes(v) * 60 + tmsf::seconds(v)) * platform::kFramesPerSecond + tmsf::frames(v);
    return toc.startOf(track) + offset;
}

void CdAudioDevice::playFrom(int sector) {
    // A data track is never played: play starts at the next audio track instead.
    TableOfContents toc = m_drive->toc();
    if (toc.trackCount() == 0) return fail(kErrNotReady);
    int track = toc.trackAt(sector);
    while (track <= toc.lastTrack && toc.isData(track)) ++track;
    if (track > toc.lastTrack) return fail(kErrRefused);
    if (track != toc.trackAt(sector)) sector = toc.startOf(track);
    if (!m_drive->play(sector)) fail(kErrRefused);
}

void CdAudioDevice::Play() {
    requireOpen();
    platform::DriveStatus status = m_drive->status();
    if (m_hasStart) {
        m_hasStart = false;
        int sector = sectorOf(m_start);
        if (sector < 0) return fail(kErrOutOfRange);
        return playFrom(sector);
    }
    if (status.state == DriveState::Playing) return;
    if (status.state == DriveState::Paused && m_drive->resume()) return;
    playFrom(status.sector);
}

void CdAudioDevice::Stop() {
    requireOpen();
    if (!m_drive->stop()) fail(kErrNotReady);
}

void CdAudioDevice::Pause() {
    requireOpen();
    // A paused drive reports mpStopped, so the toggle only ever pauses; Play resumes.
    if (m_drive->status().state != DriveState::Playing) return;
    if (!m_drive->pause()) fail(kErrRefused);
}

void CdAudioDevice::seekOrPlay(int track) {
    uint32_t target = tmsf::pack(track, 0, 0, 0);
    if (Mode() == mpPlaying) {
        SetStartPos(target);
        Play();
    } else {
        SetPosition(target);
    }
}

void CdAudioDevice::Next() {
    requireOpen();
    TableOfContents toc = m_drive->toc();
    if (toc.trackCount() == 0) return fail(kErrNotReady);
    int track = tmsf::track(Position());
    seekOrPlay(track < toc.lastTrack ? track + 1 : toc.lastTrack);
}

void CdAudioDevice::Previous() {
    requireOpen();
    TableOfContents toc = m_drive->toc();
    if (toc.trackCount() == 0) return fail(kErrNotReady);
    uint32_t pos = Position();
    int track = tmsf::track(pos);
    bool inFirstSecond = tmsf::minutes(pos) == 0 && tmsf::seconds(pos) == 0;
    seekOrPlay(inFirstSecond && track > toc.firstTrack ? track - 1 : track);
}

void CdAudioDevice::Eject() {
    requireOpen();
    if (!m_canEject) return;
    if (!m_drive->eject()) fail(kErrRefused);
}

void CdAudioDevice::SetPosition(uint32_t v) {
    requireOpen();
    int sector = sectorOf(v);
    if (sector < 0) return fail(kErrOutOfRange);
    if (!m_drive->seek(sector)) fail(kErrRefused);
}

int CdAudioDevice::Mode() const {
    if (!m_open || !m_drive) return mpNotReady;
    switch (m_drive->status().state) {
    case DriveState::TrayOpen: return mpOpen;
    case DriveState::Playing: return mpPlaying;
    case DriveState::Stopped:
    case DriveState::Paused: return mpStopped;
    case DriveState::NoDrive:
    case DriveState::NoDisc: return mpNotReady;
    }
    return mpNotReady;
}

uint32_t CdAudioDevice::Position() const {
    if (!m_open || !m_drive) return 0;
    platform::DriveStatus status = m_drive->status();
    TableOfContents toc = m_drive->toc();
    if (toc.trackCount() == 0) return 0;
    int track = toc.trackAt(status.sector);
    int offset = status.sector - toc.startOf(track);
    if (offset < 0) offset = 0;
    return tmsf::pack(track, offset / 75 / 60, offset / 75 % 60, offset % 75);
}

uint32_t CdAudioDevice::Length() {
    requireOpen();
    TableOfContents toc = m_drive->toc();
    if (toc.trackCount() == 0) {
        fail(kErrNotReady);
        return 0;
    }
    return msf::fromFrames(toc.leadOut - toc.startOf(toc.firstTrack) - 1);
}

int CdAudioDevice::Tracks() {
    requireOpen();
    TableOfContents toc = m_drive->toc();
    if (toc.trackCount() == 0) fail(kErrNotReady);
    return toc.trackCount();
}

int CdAudioDevice::LastAudioTrack() {
    requireOpen();
    TableOfContents toc = m_drive->toc();
    if (toc.trackCount() == 0) fail(kErrNotReady);
    return toc.lastAudioTrack();
}

// The last track before a lead-out is one frame short. On an enhanced CD that is also the last
// audio track, which ends at the first session's lead-out, not at the data track.
uint32_t CdAudioDevice::TrackLength(int track) {
    requireOpen();
    TableOfContents toc = m_drive->toc();
    if (!toc.hasTrack(track)) {
        fail(kErrOutOfRange);
        return 0;
    }
    int end = toc.endOf(track);
    bool beforeLeadOut = track == toc.lastTrack;
    if (!toc.isData(track) && toc.audioEndFrom(track) < end) {
        end = toc.audioEndFrom(track);
        beforeLeadOut = true;
    }
    return msf::fromFrames(end - toc.startOf(track) - (beforeLeadOut ? 1 : 0));
}

void CdAudioDevice::SetStartPos(uint32_t v) {
    m_start = v;
    m_hasStart = true;
}
