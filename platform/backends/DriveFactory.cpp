#include "platform/backends/DriveFactory.h"

#include "platform/backends/AudioOutput.h"
#include "platform/backends/CdioSource.h"
#include "platform/backends/DemoDisc.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/backends/HotPlugSource.h"
#include "platform/backends/RipSource.h"

#include <cstdlib>

namespace platform {

namespace {

std::string environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::unique_ptr<CdDrive> createDriveFromEnvironment(std::string &description) {
    std::string choice = environment("TUNEWICK_DEVICE");
    std::string driveName;
    ExtractionDrive::SourceMaker makeSource;
    if (choice == "demo") {
        driveName = "demo disc";
        makeSource = [](std::string &) { return demo::makeSource(); };
    } else if (choice.empty()) {
        // No drive named: the system's drive, looked for again while there is none.
        std::string path = HotPlugSource::defaultDrive();
        driveName = path.empty() ? "none yet (looking for a CD drive)" : path;
        makeSource = [path](std::string &reason) { return HotPlugSource::forSystemDrive(path, reason); };
    } else {
        driveName = choice;
        makeSource = [choice](std::string &reason) -> std::shared_ptr<SectorSource> {
            // A cue sheet is a rip: its FILE lines name the audio, in whatever format.
            if (CdioSource::imageDriver(choice) == DRIVER_BINCUE) return RipSource::prepare(choice, reason);
            return CdioSource::create(choice, reason);
        };
    }
    std::string note;
    std::shared_ptr<AudioOutput> output = createOutput(environment("TUNEWICK_AUDIO"), note);
    description = "drive: " + driveName + "; audio: " + output->name();
    if (!note.empty()) description += " (" + note + ")";
    return std::make_unique<ExtractionDrive>(std::move(makeSource), std::move(output));
}

} // namespace platform
