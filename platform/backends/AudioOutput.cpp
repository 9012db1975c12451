#include "platform/backends/AudioOutput.h"

#include "platform/backends/AlsaOutput.h"
#include "platform/backends/ClockedOutput.h"

namespace platform {

std::shared_ptr<AudioOutput> createOutput(const std::string &choice, std::string &note) {
    note.clear();
    if (choice == "null") return std::make_shared<NullOutput>();
    if (choice.rfind("wav:", 0) == 0 && choice.size() > 4) {
        auto wav = std::make_shared<WavOutput>(choice.substr(4));
        if (wav->ok()) return wav;
        note = wav->error() + ", sound goes to null";
        return std::make_shared<NullOutput>();
    }
    if (!choice.empty() && choice != "default") {
        note = "unknown TUNEWICK_AUDIO \"" + choice + "\" (use null or wav:PATH), sound goes to null";
        return std::make_shared<NullOutput>();
    }
    auto alsa = std::make_shared<AlsaOutput>("default");
    if (alsa->ok()) return alsa;
    note = alsa->error() + ", sound goes to null";
    return std::make_shared<NullOutput>();
}

} // namespace platform
