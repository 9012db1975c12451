#include "platform/backends/DriveFactory.h"

#include "platform/SourceSwitch.h"
#include "platform/backends/AudioOutput.h"
#include "platform/backends/CdioSource.h"
#include "platform/backends/DemoDisc.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/backends/HotPlugSource.h"
#include "platform/backends/RipSource.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
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

// The drive's source maker and the switch in one: a source checked by check() waits for putIn(),
// and then for the drive's next open(). Checks run on threads of their own; the drive may call its
// maker off the UI thread, so the state is locked.
class ChosenSource : public SourceSwitch {
public:
    explicit ChosenSource(std::string choice) : m_choice(std::move(choice)) {}

    ~ChosenSource() override {
        {
            std::lock_guard lock(m_mutex);
            ++m_ticket;
            if (m_checking) m_checking->cancel();
        }
        for (Checker &checker : m_checkers)
            checker.thread.join();
    }
    ChosenSource(const ChosenSource &) = delete;
    ChosenSource &operator=(const ChosenSource &) = delete;

    void check(const std::string &choice, Checked checked) override {
        unsigned ticket = 0;
        {
            std::lock_guard lock(m_mutex);
            ticket = ++m_ticket;
            if (m_checking) m_checking->cancel();
            m_checking.reset();
            m_playable = {};
        }
        joinFinishedCheckers();
        auto finished = std::make_shared<std::atomic<bool>>(false);
        m_checkers.push_back({std::thread([this, choice, ticket, checked = std::move(checked), finished] {
                                  runCheck(choice, ticket, checked);
                                  *finished = true;
                              }),
                              finished});
    }

    bool putIn(const std::string &choice) override {
        std::lock_guard lock(m_mutex);
        if (!m_playable.source || m_playable.choice != choice) return false;
        m_choice = choice;
        m_prepared = std::exchange(m_playable.source, nullptr);
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
    struct Checker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    struct Playable {
        std::string choice;
        std::shared_ptr<SectorSource> source;
    };

    // On the checker's thread. A check replaced by a later one ends quietly.
    void runCheck(const std::string &choice, unsigned ticket, const Checked &checked) {
        std::string reason;
        std::shared_ptr<SectorSource> source = makeSource(choice, reason);
        {
            std::lock_guard lock(m_mutex);
            if (ticket != m_ticket) return;
            m_checking = source;
        }
        const bool playable = source && source->check(reason);
        {
            std::lock_guard lock(m_mutex);
            if (ticket != m_ticket) return;
            m_checking.reset();
            if (playable) m_playable = {choice, source};
        }
        checked(playable, reason);
    }

    void joinFinishedCheckers() {
        for (auto checker = m_checkers.begin(); checker != m_checkers.end();) {
            if (!*checker->finished) {
                ++checker;
                continue;
            }
            checker->thread.join();
            checker = m_checkers.erase(checker);
        }
    }

    mutable std::mutex m_mutex;
    std::string m_choice;
    std::shared_ptr<SectorSource> m_prepared; // put in, for the drive's next open()
    std::shared_ptr<SectorSource> m_checking; // being checked, to cancel when replaced
    Playable m_playable;                      // checked and playable, waiting for putIn()
    unsigned m_ticket = 0;                    // the latest check()
    std::vector<Checker> m_checkers;          // UI thread only
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
