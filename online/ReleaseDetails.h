#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace online {

// What a saved file's tags take from the disc's MusicBrainz release.
struct ReleaseDetails {
    struct Track {
        QString artist;      // the track's artist credit, as written on the release
        QString trackId;     // the track's MBID on this release
        QString recordingId; // the recording's MBID
    };
    QString releaseId;
    QString albumArtist;       // the release's artist credit
    QString date;              // as the service gives it: "2015", "2015-03" or "2015-03-11"
    QString discId;            // the disc ID that found the medium, when the medium carries it
    std::vector<Track> tracks; // tracks[i] is the medium's track i + 1

    bool operator==(const ReleaseDetails &) const = default;
};

// The details of a release answer (GET /ws/2/release/<MBID>?inc=artist-credits+recordings+discids)
// for the medium that carries `discId`, else the only medium with `trackCount` tracks. Nothing when
// the bytes are no release object, it has another ID than `releaseId`, or no medium fits.
std::optional<ReleaseDetails> readReleaseDetails(const QByteArray &answer, const QString &releaseId,
                                                 const QString &discId, int trackCount);

} // namespace online
