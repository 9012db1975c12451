#pragma once

#include "online/ReleaseDetails.h"
#include "online/Releases.h"
#include "platform/CdDrive.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace online {

// What the AccurateRip database gave for a disc.
struct AccurateRipAnswer {
    enum Outcome { Answered, NotInDatabase, NoAnswer };
    Outcome outcome = NoAnswer;
    QByteArray body;  // Answered: the bytes as sent, unchecked
    QString note;     // NoAnswer: why, one line in Japanese
};

// What a look-up gives: the releases worth offering (empty when none was found or the look-up
// failed) and, when nothing was found, a one-line note in Japanese that says why.
struct LookupResult {
    std::vector<Release> releases;
    QString note;
    bool unknownDisc = false;  // the service answered and has no release holding the disc
};

// Looks a disc's titles up on an online service. UI thread only; never blocks: the answer comes
// later through the callback, from the event loop.
class TitleLookup {
public:
    using Done = std::function<void(const LookupResult &result)>;
    virtual ~TitleLookup() = default;
    // Starts looking up the disc; `done` is called once, unless another start or cancel() comes
    // first. A start drops the look-up before it.
    virtual void start(const platform::TableOfContents &toc, Done done) = 0;
    // Drops the running look-up, if any: its callback is never called.
    virtual void cancel() = 0;

    // The bytes of a release's front cover as the service sent them, unchecked; empty when it has
    // none or cannot be reached.
    using CoverDone = std::function<void(const QByteArray &image)>;
    // Fetches the front cover of the release with MusicBrainz ID `releaseId`; `done` is called
    // once, unless another fetchCover comes first (an empty ID and no `done` just drop the fetch
    // under way). This one has no covers.
    virtual void fetchCover(const QString &releaseId, CoverDone done) {
        (void)releaseId;
        if (done) done({});
    }

    using AccurateRipDone = std::function<void(const AccurateRipAnswer &answer)>;
    // Fetches the AccurateRip answer at `path` (as save::accurateRipPath gives it) from the
    // database over plain HTTP; `done` is called once, unless another fetchAccurateRip comes first.
    virtual void fetchAccurateRip(const QString &path, AccurateRipDone done) {
        (void)path;
        if (done) done({});
    }

    // `note` says in one line of Japanese why there are no details (empty when nothing was asked).
    using DetailsDone =
        std::function<void(const std::optional<ReleaseDetails> &details, const QString &note)>;
    // Fetches the artist credits, date and IDs of release `releaseId` for the medium with `discId`
    // (else the one with `trackCount` tracks); `done` is called once with nothing when the service
    // has none or cannot be reached, unless another fetchReleaseDetails comes first.
    virtual void fetchReleaseDetails(const QString &releaseId, const QString &discId, int trackCount,
                                     DetailsDone done) {
        (void)releaseId, (void)discId, (void)trackCount;
        if (done) done(std::nullopt, {});
    }
};

}  // namespace online
