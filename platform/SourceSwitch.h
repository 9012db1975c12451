#pragma once

#include <functional>
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
// open(), so a switch is: check the new source, put it in, close the drive, let the player see the
// disc gone, open it. The source that plays now stays until the new one is known to play.
class SourceSwitch {
public:
    // Called with whether the source can be played, and the reader's own reason when not.
    using Checked = std::function<void(bool playable, const std::string &reason)>;

    virtual ~SourceSwitch() = default;

    // Makes and checks the source for `choice` on a thread of its own: a rip's audio files are
    // opened and measured, which can take seconds. `checked` is called on that thread. A later
    // check() replaces one still running, whose `checked` is then never called. UI thread.
    virtual void check(const std::string &choice, Checked checked) = 0;
    // Keeps the source that the last check() found playable for the drive's next open(). False
    // when that check was for another choice, failed or has not ended. UI thread.
    virtual bool putIn(const std::string &choice) = 0;
    // check() and putIn() at once, on the calling thread; for the start, before any window shows.
    bool prepareNow(const std::string &choice, std::string &reason);
    // What the drive plays, or plays from its next open() on. UI thread.
    virtual std::string choice() const = 0;
    // The CD drives that the system has now, with their vendor and model.
    virtual std::vector<DriveEntry> drives() const = 0;
};

// The switch of the program's drive; null while the drive cannot switch (the tests' simulated drive).
SourceSwitch *sourceSwitch();
void setSourceSwitch(std::shared_ptr<SourceSwitch> sourceSwitch);

} // namespace platform
