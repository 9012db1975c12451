#include "platform/backends/DriveFactory.h"

#include "platform/backends/AudioOutput.h"
#include "platform/backends/CdioSource.h"
#include "platform/backends/DemoDisc.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/backends/RipSource.h"

#include <cstdlib>

namespace platform {

namespace {

// The system has no CD drive: the drive is there but never holds a disc.
class NoDiscSource : public SectorSource {
public:
    MediaState poll(TableOfContents &) override { return MediaState::NoDisc; }
    bool read(int, int, uint8_t *) override { return false; }
    bool hasDoor() const override { return false; }
    MediaState knownAtStart(TableOfContents &) const override { return MediaState::NoDisc; }
    std::string name() const override { return "none (no CD drive found)"; }
};

std::string environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::string defaultDevice() {
    char *device = cdio_get_default_device(nullptr);
    if (!device) return "";
    std::string path = device;
    std::free(device);
    return path;
}

} // namespace

std::unique_ptr<CdDrive> createDriveFromEnvironment(std::string &description) {
    std::string choice = environment("TUNEWICK_DEVICE");
    std::string driveName;
    ExtractionDrive::SourceMaker makeSource;
    if (choice == "demo") {
        driveName = "demo disc";
        makeSource = [](std::string &) { return demo::makeSource(); };
    } else {
        std::string path = choice.empty() ? defaultDevice() : choice;
        if (path.empty()) {
            driveName = "none (no CD drive found)";
            makeSource = [](std::string &) { return std::make_shared<NoDiscSource>(); };
        } else {
            driveName = path;
            makeSource = [path](std::string &reason) -> std::shared_ptr<SectorSource> {
                // A cue sheet is a rip: its FILE lines name the audio, in whatever format.
                if (CdioSource::imageDriver(path) == DRIVER_BINCUE) return RipSource::create(path, reason);
                return CdioSource::create(path, reason);
            };
        }
    }
    std::string note;
    std::shared_ptr<AudioOutput> output = createOutput(environment("TUNEWICK_AUDIO"), note);
    description = "drive: " + driveName + "; audio: " + output->name();
    if (!note.empty()) description += " (" + note + ")";
    return std::make_unique<ExtractionDrive>(std::move(makeSource), std::move(output));
}

} // namespace platform
