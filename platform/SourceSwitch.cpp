#include "platform/SourceSwitch.h"

#include <future>
#include <tuple>
#include <utility>

namespace platform {

namespace {
std::shared_ptr<SourceSwitch> s_sourceSwitch;
}

bool SourceSwitch::prepareNow(const std::string &choice, std::string &reason) {
    std::promise<std::pair<bool, std::string>> result;
    check(choice, [&result](bool playable, const std::string &why) { result.set_value({playable, why}); });
    bool playable = false;
    std::tie(playable, reason) = result.get_future().get();
    return playable && putIn(choice);
}

SourceSwitch *sourceSwitch() {
    return s_sourceSwitch.get();
}

void setSourceSwitch(std::shared_ptr<SourceSwitch> sourceSwitch) {
    s_sourceSwitch = std::move(sourceSwitch);
}

} // namespace platform
