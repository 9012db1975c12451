#include "platform/SourceSwitch.h"

namespace platform {

namespace {
std::shared_ptr<SourceSwitch> s_sourceSwitch;
}

SourceSwitch *sourceSwitch() {
    return s_sourceSwitch.get();
}

void setSourceSwitch(std::shared_ptr<SourceSwitch> sourceSwitch) {
    s_sourceSwitch = std::move(sourceSwitch);
}

} // namespace platform
