#pragma once

#include "online/TitleLookup.h"
#include "save/AccurateRip.h"

#include <functional>
#include <memory>

namespace save {

// A disc's AccurateRip answer, asked for once when a save starts (it does not depend on what is
// read), and each track's verdict once its checksums are known. Main thread only; never blocks.
class AccurateRipCheck {
public:
    enum class Outcome {
        NotAsked,      // no consent, or a disc without audio tracks: nothing was sent
        Waiting,       // asked; no answer yet
        Answered,      // the database knows the disc
        NotInDatabase, // 404
        Unreadable,    // an answer that cannot be trusted as a whole
        NoAnswer,      // no connection, no answer in time, another status
    };

    // Asks `lookup` for the disc's answer; `ready` is called once from the event loop when the
    // outcome is known (at once when nothing is asked). A null `lookup` asks nothing.
    void start(online::TitleLookup *lookup, const platform::TableOfContents &toc,
               std::function<void()> ready);
    Outcome outcome() const { return m_outcome; }
    // The disc's line for the log: the answer asked for and what came back.
    QString summary() const;
    // The verdict on disc track `track` with checksums v1 and v2.
    AccurateRipVerdict verdict(int track, uint32_t v1, uint32_t v2) const;

private:
    void answered(const online::AccurateRipAnswer &answer);

    platform::TableOfContents m_toc;
    std::optional<AccurateRipIds> m_ids;
    std::vector<AccurateRipResponse> m_responses;
    Outcome m_outcome = Outcome::NotAsked;
    QString m_note;
    std::function<void()> m_ready;
    // An answer that comes after this check is gone, or after another start(), is dropped.
    std::shared_ptr<int> m_asking;
};

} // namespace save
