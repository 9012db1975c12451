#pragma once

#include "platform/CdDrive.h"

#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

namespace online {

// A disc's table of contents as MusicBrainz counts it: the audio tracks of the first session, in
// sectors with the 150-sector lead-in. trackOffsets[i] is the start of track firstTrack + i.
struct MusicBrainzToc {
    int firstTrack = 0;
    int lastTrack = 0;
    int leadOut = 0;
    std::vector<int> trackOffsets;

    bool operator==(const MusicBrainzToc &) const = default;
};

// The TOC MusicBrainz would read from the disc; nothing for a disc without audio tracks. On an
// enhanced CD the data session is left out and the lead-out is the data track's start less the
// 11,400 sectors between the sessions.
std::optional<MusicBrainzToc> musicBrainzToc(const platform::TableOfContents &toc);
// The disc ID libdiscid computes for the TOC; empty when libdiscid refuses it.
QString discIdOf(const MusicBrainzToc &toc);
// The TOC as the service's fuzzy look-up takes it: first, last, lead-out and offsets joined by '+'.
QString tocParameter(const MusicBrainzToc &toc);
// Whether `id` has the form of a MusicBrainz ID (a UUID in lower-case hex): only such an ID goes
// into an address or a file name.
bool isMusicBrainzId(const QString &id);
// The service's page where a user adds the disc to a release; empty when the TOC has no disc ID.
QUrl attachUrl(const MusicBrainzToc &toc);

}  // namespace online
