#include "platform/CdDrive.h"

#include <algorithm>

namespace platform {

bool DiscText::empty() const {
    return title.empty() &&
           std::all_of(trackTitles.begin(), trackTitles.end(), [](const std::string &t) { return t.empty(); });
}

bool TableOfContents::hasPreemphasis(int track) const {
    const size_t index = static_cast<size_t>(track - firstTrack);
    return track >= firstTrack && index < preemphasis.size() && preemphasis[index];
}

int TableOfContents::trackAt(int sector) const {
    int track = firstTrack;
    for (int t = firstTrack; t <= lastTrack; ++t)
        if (startOf(t) <= sector) track = t;
    return track;
}

namespace {

// The last track of the run of audio tracks that holds `track`.
int lastOfAudioRun(const TableOfContents &toc, int track) {
    int t = track;
    while (t < toc.lastTrack && !toc.isData(t + 1)) ++t;
    return t;
}

bool endsFirstSession(const TableOfContents &toc, int lastAudio) {
    return lastAudio < toc.lastTrack && toc.firstSessionLeadOut > toc.startOf(lastAudio) &&
           toc.firstSessionLeadOut < toc.startOf(lastAudio + 1);
}

}  // namespace

int TableOfContents::audioEndFrom(int track) const {
    const int t = lastOfAudioRun(*this, track);
    return endsFirstSession(*this, t) ? firstSessionLeadOut : endOf(t);
}

int TableOfContents::lastAudioTrack() const {
    for (int t = lastTrack; t >= firstTrack && trackCount() > 0; --t)
        if (!isData(t)) return t;
    return 0;
}

}  // namespace platform
