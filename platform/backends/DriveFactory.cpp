#include "platform/backends/DriveFactory.h"

#include "platform/SimulatedDrive.h"

#include <chrono>

namespace platform {

std::unique_ptr<CdDrive> createDriveFromEnvironment(std::string &description) {
    auto start = std::chrono::steady_clock::now();
    auto drive = std::make_unique<SimulatedDrive>([start] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    });
    SimulatedDisc disc = SimulatedDisc::ofSeconds({185, 242, 201, 317, 158, 263, 229, 194, 276, 212, 305, 247});
    disc.trackFrames[2] += 37;
    drive->insert(disc);
    description = "drive: simulated demo disc (silent); audio: none";
    return drive;
}

}  // namespace platform
