#include "platform/CdDrive.h"

#include <algorithm>

namespace platform {

bool DiscText::empty() const {
    return title.empty() &&
           std::all_of(trackTitles.begin(), trackTitles.end(), [](const std::string &t) { return t.empty(); });
}

int TableOfContents::trackAt(int sector) const {
    int track = firstTrack;
    for (int t = firstTrack; t <= lastTrack; ++t)
        if (startOf(t) <= sector) track = t;
    return track;
}

int TableOfContents::audioEndFrom(int track) const {
    int t = track;
    while (t < lastTrack && !isData(t + 1)) ++t;
    return endOf(t);
}

}  // namespace platform
