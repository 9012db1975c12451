#pragma once

#include "platform/backends/SectorSource.h"

#include <memory>
#include <vector>

namespace platform {

// The demo disc: twelve tracks of 2 to 4 minutes (about 35 minutes), each a soft chord of its own
// with a short fade in and out, synthesized sector by sector as it is read, so a machine without a
// drive plays through the same extraction path as a real disc. Some lengths end on a whole second,
// others on a frame part (3:17.40), as real discs do.
namespace demo {

// The disc's table of contents: tracks 1 to 12 from sector 0.
TableOfContents toc();
// The frequencies in Hz that track `track` (1-based) sounds; every track's set differs.
const std::vector<double> &trackFrequencies(int track);
// Fills one sector (kSectorBytes bytes) of the disc at `lsn`; the same sector always sounds the same.
void renderSector(int lsn, uint8_t *out);
// A source that plays the disc.
std::shared_ptr<SectorSource> makeSource();

} // namespace demo
} // namespace platform
