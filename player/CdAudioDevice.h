#pragma once

#include "platform/CdDrive.h"

#include <cstdint>
#include <stdexcept>

// Raised by the CD audio device: an open that failed, or an operation on a closed device.
// The message is UTF-8 text for the user.
class EMCIDeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Device modes as the player sees them.
enum TMPModes { mpNotReady = 0, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen };

// The CD audio device: the media-control operations that the player uses, over a CdDrive.
// Positions are packed TMSF, lengths packed MSF (player/TimeFormat.h). Operations marked
// "closed raises" throw EMCIDeviceError("MCI ﾃﾞﾊﾞｲｽがありません") when the device is not open; other
// failures only set LastError. While paused the device reports mpStopped and keeps its position;
// Play resumes there. UI thread only; nothing here blocks on the drive.
class CdAudioDevice {
public:
    virtual ~CdAudioDevice() = default;

    // The drive that the device talks to; not owned. Must outlive the device's use.
    void setDrive(platform::CdDrive *drive) { m_drive = drive; }
    platform::CdDrive *drive() const { return m_drive; }

    void Open();                    // closes first if open; raises with the drive's reason on failure
    void Close();                   // only with an open device
    // Raises, once after each Open, with the drive's reason when the drive has turned out unusable
    // since Open returned (a rip's files that do not play, found on the drive's own thread).
    void CheckLateFailure();
    void Play();                    // closed raises; from the pending start (then cleared) or the position
    void Stop();                    // closed raises; keeps the position
    void Pause();                   // closed raises; pauses while playing, else nothing
    void Next();                    // closed raises
    void Previous();                // closed raises
    void Eject();                   // closed raises; opens the door if the drive can eject
    void SetPosition(uint32_t tmsf);  // closed raises; seek, leaves the device stopped
    int Mode() const;               // never raises; mpNotReady when the status cannot be read
    uint32_t Position() const;      // never raises; 0 when the status cannot be read
    uint32_t Length();              // closed raises; the whole disc
    int Tracks();                   // closed raises
    int LastAudioTrack();           // closed raises; the last audio track, before any data track after it
    uint32_t TrackLength(int track);  // closed raises

    void SetStartPos(uint32_t tmsf);  // the one-shot start of the next Play
    bool isDeviceOpen() const { return m_open; }
    int DeviceID() const { return m_deviceId; }
    int LastError() const { return m_lastError; }
    bool CanEject() const { return m_canEject; }

private:
    void requireOpen() const;
    void fail(int code) { m_lastError = code; }
    // Sector of a TMSF value on the present disc, or -1 when the track is not on it.
    int sectorOf(uint32_t tmsfValue) const;
    void playFrom(int sector);
    void seekOrPlay(int track);

    platform::CdDrive *m_drive = nullptr;
    bool m_open = false;
    int m_deviceId = 0;
    int m_lastError = 0;
    bool m_canEject = false;
    bool m_hasStart = false;
    uint32_t m_start = 0;
    bool m_lateFailureShown = false;
};
