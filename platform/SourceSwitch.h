#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

// A CD drive of the system, as the drive menu lists it.
struct DriveEntry {
    std::string path;  // the device node, e.g. "/dev/sr0"
    std::string model; // the drive's vendor and model, e.g. "HL-DT-ST DVDRAM GH24NSD1"; may be empty
};

// Chooses what the program's drive plays: "" the system's CD drive, "demo" the demo disc, a device
// node, or a disc image or rip's cue sheet path. The drive takes the chosen source at its next
// open(), so a switch is: prepare(), close the drive, let the player see the disc gone, open it.
// UI thread only.
class SourceSwitch {
public:
    virtual ~SourceSwitch() = default;

    // Makes the source for `choice` now and keeps it for the drive's next open(). False with the
    // reader's own reason when it cannot be played; the present choice then stays. Reads the file
    // (a sheet and its audio files' headers), which takes some milliseconds.
    virtual bool prepare(const std::string &choice, std::string &reason) = 0;
    // What the drive plays, or plays from its next open() on.
    virtual std::string choice() const = 0;
    // The CD drives that the system has now, with their vendor and model.
    virtual std::vector<DriveEntry> drives() const = 0;
};

// The switch of the program's drive; null while the drive cannot switch (the tests' simulated drive).
SourceSwitch *sourceSwitch();
void setSourceSwitch(std::shared_ptr<SourceSwitch> sourceSwitch);

} // namespace platform
