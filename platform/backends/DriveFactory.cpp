#include "platform/backends/DriveFactory.h"

#include "platform/SourceSwitch.h"
#include "platform/backends/AudioOutput.h"
#include "platform/backends/CdioSource.h"
#include "platform/backends/DemoDisc.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/backends/HotPlugSource.h"
#include "platform/backends/RipSource.h"

#include <cstdlib>
#include <mutex>
#include <utility>

namespace platform {

namespace {

std::string environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::shared_ptr<SectorSource> makeSource(const std::string &choice, std::string &reason) {
    if (choice == "demo") return demo::makeSource();
    // No drive named: the system's drive, looked for again while there is none.
    if (choice.empty()) return HotPlugSource::forSystemDrive(HotPlugSource::defaultDrive(), reason);
    // A cue sheet is a rip: its FILE lines name the audio, in whatever format.
    if (CdioSource::imageDriver(choice) == DRIVER_BINCUE) return RipSource::prepare(choice, reason);
    return CdioSource::create(choice, reason);
}

std::string trimmed(const char *text) {
    std::string value(text);
    const auto first = value.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return value.substr(first, value.find_last_not_of(' ') - first + 1);
}

// "Vendor Model" as the drive reports them; empty when the drive cannot be opened (no permission).
std::string driveModel(const char *path) {
    std::unique_ptr<CdIo_t, decltype(&cdio_destroy)> cdio(cdio_open(path, DRIVER_DEVICE), &cdio_destroy);
    cdio_hwinfo_t info{};
    if (!cdio || !cdio_get_hwinfo(cdio.get(), &info)) return "";
    const std::string vendor = trimmed(info.psz_vendor);
    const std::string model = trimmed(info.psz_model);
    return vendor.empty() ? model : model.empty() ? vendor : vendor + " " + model;
}

// The drive's source maker and the switch in one: a source made by prepare() waits here for the
// drive's next open(). The drive may call its maker off the UI thread, so the state is locked.
class ChosenSource : public SourceSwitch {
public:
    explicit ChosenSource(std::string choice) : m_choice(std::move(choice)) {}

    bool prepare(const std::string &choice, std::string &reason) override {
        std::shared_ptr<SectorSource> source = makeSource(choice, reason);
        if (!source) return false;
        std::lock_guard lock(m_mutex);
        m_choice = choice;
        m_prepared = std::move(source);
        return true;
    }

    std::string choice() const override {
        std::lock_guard lock(m_mutex);
        return m_choice;
    }

    std::vector<DriveEntry> drives() const override {
        std::vector<DriveEntry> found;
        char **devices = cdio_get_devices(DRIVER_DEVICE);
        for (char **device = devices; device && *device; ++device)
            found.push_back({*device, driveModel(*device)});
        if (devices) cdio_free_device_list(devices);
        return found;
    }

    std::shared_ptr<SectorSource> take(std::string &reason) {
        std::unique_lock lock(m_mutex);
        if (m_prepared) return std::exchange(m_prepared, nullptr);
        const std::string choice = m_choice;
        lock.unlock();
        return makeSource(choice, reason);
    }

private:
    mutable std::mutex m_mutex;
    std::string m_choice;
    std::shared_ptr<SectorSource> m_prepared;
};

std::string driveName(const std::string &choice) {
    if (choice == "demo") return "demo disc";
    if (!choice.empty()) return choice;
    std::string path = HotPlugSource::defaultDrive();
    return path.empty() ? "none yet (looking for a CD drive)" : path;
}

} // namespace

std::unique_ptr<CdDrive> createDrive(const std::string &choice, std::string &description) {
    auto chosen = std::make_shared<ChosenSource>(choice);
    setSourceSwitch(chosen);
    std::string note;
    std::shared_ptr<AudioOutput> output = createOutput(environment("TUNEWICK_AUDIO"), note);
    description = "drive: " + driveName(choice) + "; audio: " + output->name();
    if (!note.empty()) description += " (" + note + ")";
    return std::make_unique<ExtractionDrive>([chosen](std::string &reason) { return chosen->take(reason); },
                                             std::move(output));
}

std::unique_ptr<CdDrive> createDriveFromEnvironment(std::string &description) {
    return createDrive(environment("TUNEWICK_DEVICE"), description);
}

} // namespace platform
