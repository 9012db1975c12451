#pragma once

#include "platform/CdDrive.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// AccurateRip: a database of other users' checksums of the same pressing of a disc. This file
// holds what needs no network: the disc's IDs and the answer's path, the track checksums, the
// reader of an answer and the verdict. Pure functions and a value type; any thread.
namespace save {

// The IDs that name a disc in the database. Only the audio tracks count (a mixed-mode disc's data
// track is left out, an enhanced CD's data session too), but the lead-out is the disc's true one.
struct AccurateRipIds {
    int audioTracks = 0;
    uint32_t id1 = 0;
    uint32_t id2 = 0;
    uint32_t freeDb = 0; // the FreeDB/CDDB disc ID, over every track, data tracks included

    bool operator==(const AccurateRipIds &) const = default;
};

// The disc's IDs; nothing for a disc without audio tracks or with more than 99 tracks.
std::optional<AccurateRipIds> accurateRipIds(const platform::TableOfContents &toc);
// The answer's path below the service's base: "d/c/b/dBAR-NNN-ID1-ID2-FREEDB.bin", where d, c and b
// are the last three hex digits of ID 1 from the last.
QString accurateRipPath(const AccurateRipIds &ids);

// Where a track sits on the disc: the database leaves out the first five sectors (less one sample)
// of the disc's first audio track and the last five sectors of its last, which drives read least
// reliably.
enum class TrackPlace { Only, First, Middle, Last };

// The place of `track` (a disc track number) among the disc's audio tracks.
TrackPlace accurateRipPlace(const platform::TableOfContents &toc, int track);
// The index of `track` among the disc's audio tracks (from 0), as the answer counts them.
size_t accurateRipIndex(const platform::TableOfContents &toc, int track);

// The v1 and v2 checksums of one track, fed in one pass with the track's samples as they are on the
// disc (16-bit little-endian, left then right). The whole track must be fed, in order, in pieces of
// any size (a piece may end inside a sample).
class AccurateRipChecksum {
public:
    // `samples` is the track's length in stereo samples (588 to a sector).
    AccurateRipChecksum(uint64_t samples, TrackPlace place);
    void add(std::span<const uint8_t> bytes);
    // The same for `frames` stereo samples, left then right, in the host's order.
    void addFrames(const int16_t *interleaved, std::size_t frames);
    uint32_t v1() const { return static_cast<uint32_t>(m_v1); }
    uint32_t v2() const { return static_cast<uint32_t>(m_v1 + m_v2High); }
    uint64_t samplesSeen() const { return m_position; }

private:
    void addWord(uint32_t word);

    uint64_t m_first = 1; // the first and last counted positions (from 1)
    uint64_t m_last = 0;
    uint64_t m_position = 0;
    uint64_t m_v1 = 0; // kept wide, cut to 32 bits when read
    uint64_t m_v2High = 0;
    uint8_t m_partial[4] = {};
    int m_partialBytes = 0;
};

// One submission's figures for one track.
struct AccurateRipEntry {
    int confidence = 0;    // how many users sent this checksum
    uint32_t checksum = 0; // a v1 or a v2 checksum: the answer does not say which
    uint32_t frame450 = 0; // the checksum of the track's sector 450, used to find a drive's offset
};
// One response of an answer: an entry per audio track, in track order.
using AccurateRipResponse = std::vector<AccurateRipEntry>;

// The responses of an answer for the disc `ids`; nothing when the answer cannot be trusted as a
// whole: empty, ending inside a response, or with a header that names another disc.
std::optional<std::vector<AccurateRipResponse>> readAccurateRipAnswer(std::span<const uint8_t> answer,
                                                                      const AccurateRipIds &ids);

struct AccurateRipVerdict {
    enum Kind {
        Accurate,      // matched by v1 or v2; `confidence` sums the matching responses
        NotAccurate,   // the database knows the disc, and no response has either checksum
        NotInDatabase, // the service has no answer for the disc (404)
        Unreadable,    // the answer could not be trusted: no verdict
        NotChecked,    // nothing was asked (no consent, no network, no answer in time)
    };
    Kind kind = NotChecked;
    int confidence = 0;

    bool operator==(const AccurateRipVerdict &) const = default;
};

// The verdict on the audio track at `index` (from 0, among the audio tracks) with checksums v1 and v2.
AccurateRipVerdict accurateRipVerdict(const std::vector<AccurateRipResponse> &responses, size_t index,
                                      uint32_t v1, uint32_t v2);

// The verdict as a user reads it in the log and the command line's track line, translated.
QString verdictText(const AccurateRipVerdict &verdict);

} // namespace save
