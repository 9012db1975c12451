#pragma once

#include "platform/CdDrive.h"

#include <cdio/cdio.h>

namespace platform {

// The disc and track titles of a disc's CD-Text (a drive's, or a .toc sheet's CD_TEXT block), as
// UTF-8; the Japanese block when the disc has one. Empty when the disc has none.
DiscText readCdText(CdIo_t *cdio, int firstTrack, int lastTrack);

} // namespace platform
