#include "save/AccurateRipSaveCheck.h"

#include <QCoreApplication>

namespace save {

namespace {

// The checksums of one read of one track; the hidden track before track 1 is not in the
// database and gets none.
class ChecksumSink : public TrackSink {
public:
    ChecksumSink(const TrackSpan &span)
        : m_track(span.track), m_sum(uint64_t(span.sectors) * 588, placeOf(span)) {}
    void samples(const int16_t *interleaved, std::size_t frames) override {
        if (m_track > 0) m_sum.addFrames(interleaved, frames);
    }
    const AccurateRipChecksum &sum() const { return m_sum; }

private:
    static TrackPlace placeOf(const TrackSpan &span) {
        if (span.firstOnDisc) return span.lastOnDisc ? TrackPlace::Only : TrackPlace::First;
        return span.lastOnDisc ? TrackPlace::Last : TrackPlace::Middle;
    }
    int m_track;
    AccurateRipChecksum m_sum;
};

QString hex(uint32_t value) {
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

AccurateRipSaveCheck::AccurateRipSaveCheck(online::TitleLookup *lookup, QString notAskedLine)
    : m_lookup(lookup), m_notAskedLine(std::move(notAskedLine)) {}

void AccurateRipSaveCheck::discKnown(const DiscLayout &disc) {
    m_answered = false;
    m_stoppedWaiting = false;
    m_check.start(m_lookup, disc.toc, [this] {
        m_answered = true;
        if (m_done) report();
    });
}

std::unique_ptr<TrackSink> AccurateRipSaveCheck::sinkFor(const TrackSpan &span) {
    return std::make_unique<ChecksumSink>(span);
}

void AccurateRipSaveCheck::conclude(const std::vector<TrackResult> &tracks,
                                    std::vector<std::unique_ptr<TrackSink>> sinks, Concluded done) {
    m_tracks = tracks;
    m_sinks = std::move(sinks);
    m_done = std::move(done);
    if (m_answered) report();
}

void AccurateRipSaveCheck::abandon() {
    m_done = nullptr;
    m_sinks.clear();
}

// Cancelled while the answer is awaited: the log keeps every track's checksums, without a verdict,
// and says that the answer was not waited for.
bool AccurateRipSaveCheck::concludeNow() {
    if (!m_done) return false;
    m_stoppedWaiting = true;
    report();
    return true;
}

// Each written track's result (its line on the command line and in the log) gives its checksums and
// the verdict; a track whose copy was not written whole gets its checksums in the log only, as a
// verdict on it would say nothing.
void AccurateRipSaveCheck::report() {
    QStringList discLines{m_stoppedWaiting && !m_answered
                              ? QCoreApplication::translate("AccurateRip", "AccurateRip: 応答を待たずに中止しました")
                              : m_check.summary()};
    if (m_check.outcome() == AccurateRipCheck::Outcome::NotAsked && !m_notAskedLine.isEmpty())
        discLines << m_notAskedLine;
    std::vector<TrackNote> notes(m_tracks.size());
    for (size_t i = 0; i < m_tracks.size() && i < m_sinks.size(); ++i) {
        const auto *sink = dynamic_cast<const ChecksumSink *>(m_sinks[i].get());
        const int track = m_tracks[i].span.track;
        if (!sink || track == 0) continue;
        const uint32_t v1 = sink->sum().v1(), v2 = sink->sum().v2();
        const QString sums = QStringLiteral("AccurateRip v1 %1, v2 %2").arg(hex(v1), hex(v2));
        if (m_tracks[i].state == TrackState::Written)
            notes[i].verdict = sums + QStringLiteral(": ") + verdictText(m_check.verdict(track, v1, v2));
        else
            notes[i].logLines << QStringLiteral("  ") + sums;
    }
    Concluded done = std::move(m_done);
    m_done = nullptr;
    m_sinks.clear();
    done(discLines, notes);
}

} // namespace save
