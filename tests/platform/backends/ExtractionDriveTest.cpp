// The extraction drive over a disc in memory: what reaches the output, the read-error steps, and
// that the UI thread never waits on a stuck source.
#include "platform/backends/ExtractionDrive.h"

#include "platform/backends/ClockedOutput.h"
#include "platform/backends/MemorySource.h"
#include "platform/backends/SectorReader.h"
#include "tests/platform/backends/TestDisc.h"

#include <future>
#include <gtest/gtest.h>

namespace platform {
namespace {

using namespace std::chrono_literals;
using testing::eventually;
using testing::patternOf;

constexpr int kBufferFrames = kSampleRate * 200 / 1000; // the null output's buffer

// Tracks 1 and 2 are audio (sectors 0-499), track 3 is data.
TableOfContents threeTrackDisc() {
    TableOfContents toc;
    toc.firstTrack = 1;
    toc.lastTrack = 3;
    toc.trackStart = {0, 300, 500};
    toc.dataTrack = {false, false, true};
    toc.leadOut = 600;
    return toc;
}

class ExtractionDriveTest : public ::testing::Test {
protected:
    // `speed` times real time: fast enough that a whole play takes a fraction of a second.
    void start(double speed = 50, ExtractionDrive::Options options = {}) {
        m_source = std::make_shared<MemorySource>(threeTrackDisc(), &testing::renderPattern);
        m_output = std::make_shared<NullOutput>(speed);
        m_output->keepCopy(true);
        auto source = m_source;
        m_drive =
            std::make_unique<ExtractionDrive>([source](std::string &) { return source; }, m_output, options);
        std::string reason;
        ASSERT_TRUE(m_drive->open(reason)) << reason;
    }
    void TearDown() override {
        if (m_source) m_source->release();
        m_drive.reset();
    }
    DriveState state() const { return m_drive->status().state; }
    bool waitFor(DriveState wanted) {
        return eventually([&] { return state() == wanted; });
    }
    bool heardAtLeast(long long frames) {
        return eventually([&] { return m_output->consumedFrames() >= frames; });
    }

    std::shared_ptr<MemorySource> m_source;
    std::shared_ptr<NullOutput> m_output;
    std::unique_ptr<ExtractionDrive> m_drive;
};

TEST_F(ExtractionDriveTest, PlaysToTheLastAudioSectorByteForByteAndNeverReadsPastIt) {
    start();
    ASSERT_TRUE(m_drive->play(123));
    EXPECT_EQ(state(), DriveState::Playing);
    ASSERT_TRUE(waitFor(DriveState::Stopped));

    EXPECT_TRUE(m_output->copy() == patternOf(123, 500)) << "bytes heard: " << m_output->copy().size();
    EXPECT_EQ(m_drive->status().sector, 499);
    for (const MemorySource::ReadCall &read : m_source->reads())
        EXPECT_LE(read.lsn + read.count, 500);
    EXPECT_FALSE(m_drive->play(550)) << "a data track must never play";
}

TEST_F(ExtractionDriveTest, PauseResumeAndSeekNeitherLoseNorRepeatASample) {
    start(20);
    ASSERT_TRUE(m_drive->play(10));
    ASSERT_TRUE(heardAtLeast(30000));
    ASSERT_TRUE(m_drive->pause());
    EXPECT_EQ(state(), DriveState::Paused);
    ASSERT_TRUE(eventually([&] { return m_source->reads().size() > 0 && state() == DriveState::Paused; }));
    long long atPause = m_output->consumedFrames();
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(m_drive->resume());
    ASSERT_TRUE(heardAtLeast(atPause + 30000));
    ASSERT_TRUE(m_drive->seek(400));
    EXPECT_EQ(m_drive->status().state, DriveState::Stopped);
    EXPECT_EQ(m_drive->status().sector, 400);
    ASSERT_TRUE(m_drive->play(400));
    ASSERT_TRUE(waitFor(DriveState::Stopped));

    std::vector<uint8_t> heard = m_output->copy();
    std::vector<uint8_t> tail = patternOf(400, 500);
    ASSERT_GT(heard.size(), tail.size());
    size_t headBytes = heard.size() - tail.size();
    std::vector<uint8_t> head = patternOf(10, 300);
    ASSERT_LT(headBytes, head.size());
    EXPECT_TRUE(
        std::equal(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(headBytes), heard.begin()))
        << "the audio up to the seek is the disc's from sector 10 without a gap or a repeat";
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), heard.begin() + static_cast<std::ptrdiff_t>(headBytes)));
}

TEST_F(ExtractionDriveTest, HeardSectorStaysWithinOneOutputBufferOfWhatWasPlayed) {
    start(1.0);
    ASSERT_TRUE(m_drive->play(0));
    for (int look = 0; look < 8; ++look) {
        std::this_thread::sleep_for(100ms);
        long long before = m_output->consumedFrames();
        int sector = m_drive->status().sector;
        long long after = m_output->consumedFrames();
        EXPECT_LE(static_cast<long long>(sector) * kFramesPerSector, after) << "never ahead of the sound";
        EXPECT_GE(static_cast<long long>(sector + 1) * kFramesPerSector + kBufferFrames, before)
            << "never behind by more than the output's buffer";
    }
}

TEST_F(ExtractionDriveTest, EveryCallReturnsWhileTheSourceIsStuckAndThePositionHoldsAtTheStart) {
    start();
    m_source->hold();
    ASSERT_TRUE(m_drive->play(100));
    ASSERT_TRUE(eventually([&] { return m_source->blockedReads() == 1; }));

    auto calls = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(30ms);
        DriveStatus shown = m_drive->status();
        EXPECT_EQ(shown.state, DriveState::Playing) << "spinning up still counts as playing";
        EXPECT_EQ(shown.sector, 100) << "no sound yet: the position holds at the start";
        EXPECT_EQ(m_drive->toc().trackCount(), 3);
        EXPECT_TRUE(m_drive->pause());
        EXPECT_TRUE(m_drive->resume());
        EXPECT_TRUE(m_drive->stop());
        EXPECT_TRUE(m_drive->seek(200));
        EXPECT_TRUE(m_drive->play(250));
        EXPECT_TRUE(m_drive->eject());
        EXPECT_EQ(m_drive->status().state, DriveState::TrayOpen);
        m_drive->close();
        std::string reason;
        EXPECT_FALSE(m_drive->open(reason)) << "the old worker is still in its read";
        EXPECT_FALSE(reason.empty());
    });
    std::future_status finished = calls.wait_for(10s);
    m_source->release();
    ASSERT_EQ(finished, std::future_status::ready) << "a call waited for the stuck source";
    calls.get();

    std::string reason;
    EXPECT_TRUE(eventually([&] { return m_drive->open(reason); })) << reason;
}

struct ReadFaultCase {
    const char *name;
    std::function<void(MemorySource &)> inject;
    std::vector<MemorySource::ReadCall> expectedReads; // the first reads of the play from sector 60
    std::vector<uint8_t> expectedSound;
};

void PrintTo(const ReadFaultCase &fault, std::ostream *out) {
    *out << fault.name;
}

class ReadFaultTest : public ExtractionDriveTest, public ::testing::WithParamInterface<ReadFaultCase> {};

TEST_P(ReadFaultTest, ReadErrorsHalveTheSizeRetryThenSkipOneSecondOfSilence) {
    const ReadFaultCase &fault = GetParam();
    start();
    fault.inject(*m_source);
    ASSERT_TRUE(m_drive->play(60));
    ASSERT_TRUE(waitFor(DriveState::Stopped));

    std::vector<MemorySource::ReadCall> reads = m_source->reads();
    ASSERT_GE(reads.size(), fault.expectedReads.size());
    for (size_t i = 0; i < fault.expectedReads.size(); ++i) {
        EXPECT_EQ(reads[i].lsn, fault.expectedReads[i].lsn) << "read " << i;
        EXPECT_EQ(reads[i].count, fault.expectedReads[i].count) << "read " << i;
        EXPECT_EQ(reads[i].ok, fault.expectedReads[i].ok) << "read " << i;
    }
    EXPECT_TRUE(m_output->copy() == fault.expectedSound);
}

std::vector<uint8_t> withSilence(int from, int silentFrom, int silentTo, int to) {
    std::vector<uint8_t> sound = patternOf(from, silentFrom);
    sound.resize(sound.size() + static_cast<size_t>(silentTo - silentFrom) * kSectorBytes, 0);
    std::vector<uint8_t> rest = patternOf(silentTo, to);
    sound.insert(sound.end(), rest.begin(), rest.end());
    return sound;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReadFaultTest,
    ::testing::Values(
        ReadFaultCase{"TwoFailuresRecoverWithoutLoss",
                      [](MemorySource &s) { s.failNextReads(2); },
                      {{60, 20, false}, {60, 10, false}, {60, 5, true}, {65, 10, true}, {75, 20, true}},
                      patternOf(60, 500)},
        ReadFaultCase{"UnreadableSectorSkipsOneSecond",
                      [](MemorySource &s) { s.failSectors(100, 101); },
                      {{60, 20, true},
                       {80, 20, true},
                       {100, 20, false},
                       {100, 10, false},
                       {100, 5, false},
                       {100, 2, false},
                       {100, 1, false},
                       {100 + SectorReader::kSkipSectors, 20, true}},
                      withSilence(60, 100, 100 + SectorReader::kSkipSectors, 500)}),
    [](const ::testing::TestParamInfo<ReadFaultCase> &info) { return std::string(info.param.name); });

struct PullCase {
    const char *name;
    double speed;
    int pollMs;
};

void PrintTo(const PullCase &pull, std::ostream *out) {
    *out << pull.name;
}

class DiscPulledTest : public ExtractionDriveTest, public ::testing::WithParamInterface<PullCase> {};

// Found either by the worker's regular look at the disc (ring full, no reads due) or by the
// failing reads themselves; either way the play ends instead of hanging or playing silence.
TEST_P(DiscPulledTest, DiscPulledOutWhilePlayingReportsNoDisc) {
    ExtractionDrive::Options options;
    options.pollMs = GetParam().pollMs;
    start(GetParam().speed, options);
    ASSERT_TRUE(m_drive->play(0));
    ASSERT_TRUE(heardAtLeast(1000));
    m_source->pullDisc();
    ASSERT_TRUE(eventually([&] { return state() == DriveState::NoDisc; }, 5));
    EXPECT_EQ(m_drive->toc().trackCount(), 0);
    EXPECT_FALSE(m_drive->play(0));
}

INSTANTIATE_TEST_SUITE_P(Pulled, DiscPulledTest,
                         ::testing::Values(PullCase{"SeenByThePoll", 1.0, 20},
                                           PullCase{"SeenByTheReads", 20.0, 60000}),
                         [](const ::testing::TestParamInfo<PullCase> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(ExtractionDriveTest, SoftwareDoorOpensOnEjectAndClosesByItselfOrAtPlay) {
    ExtractionDrive::Options options;
    options.doorMs = 100;
    start(50, options);
    ASSERT_TRUE(m_drive->eject());
    EXPECT_EQ(state(), DriveState::TrayOpen);
    EXPECT_EQ(m_drive->toc().trackCount(), 0);
    ASSERT_TRUE(waitFor(DriveState::Stopped)) << "the door closes by itself and the disc is found again";
    EXPECT_EQ(m_drive->toc(), threeTrackDisc());

    ASSERT_TRUE(m_drive->eject());
    ASSERT_TRUE(m_drive->play(10)) << "play closes an open software door";
    EXPECT_EQ(state(), DriveState::Playing);
    ASSERT_TRUE(waitFor(DriveState::Stopped));
    EXPECT_TRUE(m_output->copy() == patternOf(10, 500));
}

TEST_F(ExtractionDriveTest, AnotherDiscIsToldByItsTableOfContents) {
    ExtractionDrive::Options options;
    options.pollMs = 10;
    start(1.0, options);
    ASSERT_TRUE(m_drive->seek(250));
    // The worker takes commands before its timed looks: after its second look the seek is done.
    ASSERT_TRUE(eventually([&] { return m_source->pollCount() >= 2; }));
    TableOfContents other;
    other.firstTrack = 1;
    other.lastTrack = 1;
    other.trackStart = {0};
    other.dataTrack = {false};
    other.leadOut = 900;
    m_source->insert(other);
    ASSERT_TRUE(eventually([&] { return m_drive->toc() == other; }));
    EXPECT_EQ(m_drive->status().state, DriveState::Stopped);
    EXPECT_EQ(m_drive->status().sector, 0) << "a new disc starts at its first track";
}

} // namespace
} // namespace platform
