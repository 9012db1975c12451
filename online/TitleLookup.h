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
};

}  // namespace online
