#pragma once

#include "online/TitleLookup.h"

#include <memory>

namespace online {

// The MusicBrainz look-up, from the module cd-tunewick32-online.so, which is loaded on the first
// start(): beside the program, then where it is installed, then in the build tree. When it cannot
// be loaded, each look-up ends at once with a note that says so.
std::unique_ptr<TitleLookup> makeMusicBrainzLookup();

}  // namespace online
