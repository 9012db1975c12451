#pragma once

#include "save/AccurateRipCheck.h"
#include "save/DiscSaver.h"

namespace save {

// Follows a save with AccurateRip: asks for the disc's answer when the disc is known, computes each
// track's v1 and v2 checksums as its samples are read, and gives each track a log line and a
// verdict. A difference or a disc not in the database is reported, never a failure of the save.
class AccurateRipSaveCheck : public SaveCheck {
public:
    // `lookup` fetches the answer; null when the user has not allowed it: nothing is sent, and the
    // log says so with `notAskedLine` when one is given. The lookup must outlive the check.
    explicit AccurateRipSaveCheck(online::TitleLookup *lookup, QString notAskedLine = {});

    void discKnown(const DiscLayout &disc) override;
    std::unique_ptr<TrackSink> sinkFor(const TrackSpan &span) override;
    void conclude(const std::vector<TrackResult> &tracks, std::vector<std::unique_ptr<TrackSink>> sinks,
                  Concluded done) override;
    void abandon() override;
    bool concludeNow() override;

private:
    void report();

    online::TitleLookup *m_lookup;
    QString m_notAskedLine;
    AccurateRipCheck m_check;
    bool m_answered = false;
    bool m_stoppedWaiting = false; // cancelled before the answer came
    // Kept from conclude() until the answer is known.
    std::vector<TrackResult> m_tracks;
    std::vector<std::unique_ptr<TrackSink>> m_sinks;
    Concluded m_done;
};

} // namespace save
