#include "online/MusicBrainzLookup.h"

// The module's one entry: a new look-up on the MusicBrainz service, owned by the caller.
extern "C" __attribute__((visibility("default"))) online::TitleLookup *tunewickMakeTitleLookup() {
    return new online::MusicBrainzLookup;
}
