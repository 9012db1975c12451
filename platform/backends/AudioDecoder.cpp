#include "platform/backends/AudioDecoder.h"

#include "platform/Messages.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>

namespace platform {

namespace {

using OpenDecoder = AudioDecoder *(*)(const std::string &, const std::string &, bool, std::string &,
                                      const std::atomic<bool> *);

constexpr const char *kModuleName = "cd-tunewick32-ffmpeg.so";

std::string programFolder() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.rfind('/') + 1);
}

// Beside the program in a build, where it was installed, or where the build made it (for the tests,
// whose programs lie in a folder of their own).
OpenDecoder loadModule(std::string &error) {
    for (const std::string &path : {programFolder() + kModuleName, std::string(TUNEWICK_DECODER_INSTALLED),
                                    std::string(TUNEWICK_DECODER_BUILT)}) {
        if (access(path.c_str(), R_OK) != 0) continue;
        void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            error = dlerror();
            continue;
        }
        if (auto open = reinterpret_cast<OpenDecoder>(dlsym(module, "tunewickOpenAudioDecoderCancellable")))
            return open;
        error = message(QT_TRANSLATE_NOOP("platform", "%1: 入口がありません"), {path});
    }
    if (error.empty()) error = message(QT_TRANSLATE_NOOP("platform", "%1 がありません"), {kModuleName});
    return nullptr;
}

} // namespace

std::unique_ptr<AudioDecoder> AudioDecoder::open(const std::string &path, const std::string &shownName,
                                                 bool checkEnd, std::string &reason,
                                                 const std::atomic<bool> *cancelled) {
    static std::once_flag once;
    static OpenDecoder openDecoder = nullptr;
    static std::string loadError;
    std::call_once(once, [] { openDecoder = loadModule(loadError); });
    if (!openDecoder) {
        reason = message(QT_TRANSLATE_NOOP("platform", "音声ファイルを読むモジュールを読み込めません (%1)"), {loadError});
        return nullptr;
    }
    return std::unique_ptr<AudioDecoder>(openDecoder(path, shownName, checkEnd, reason, cancelled));
}

} // namespace platform
