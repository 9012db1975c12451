#pragma once

#include "online/Releases.h"
#include "platform/CdDrive.h"

#include <QString>

#include <functional>
#include <vector>

namespace online {

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
};

}  // namespace online
