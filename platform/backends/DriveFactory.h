#pragma once

#include "platform/CdDrive.h"

#include <memory>
#include <string>

namespace platform {

// The drive the program plays. `choice` says what it plays first: empty for the system's default
// drive, a device node or a disc image path, or "demo"; the drive's source can be switched later
// through sourceSwitch(), which this sets. TUNEWICK_AUDIO chooses the output (unset: the default
// sound output; "null"; "wav:PATH"). `description` receives one line saying which drive and output
// are in use.
std::unique_ptr<CdDrive> createDrive(const std::string &choice, std::string &description);
// The same, with `choice` from TUNEWICK_DEVICE.
std::unique_ptr<CdDrive> createDriveFromEnvironment(std::string &description);

} // namespace platform
