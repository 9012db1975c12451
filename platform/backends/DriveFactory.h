#pragma once

#include "platform/CdDrive.h"

#include <memory>
#include <string>

namespace platform {

// The drive the program plays, chosen by the environment: TUNEWICK_DEVICE (unset: the system's
// default drive; a device node or a disc image path; "demo") and TUNEWICK_AUDIO (unset: the
// default sound output; "null"; "wav:PATH"). `description` receives one line saying which
// drive and output are in use.
std::unique_ptr<CdDrive> createDriveFromEnvironment(std::string &description);

}  // namespace platform
