// Random sequences of user actions and poll ticks over the whole program, checking the player's
// invariants after every step. TUNEWICK_SOAK_STEPS=<n> runs a long soak instead of the short run.
#include "tests/support/AppFixture.h"

#include "app/Application.h"
#include "player/Commands.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/ErrorDisplay.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"

#include <rapidcheck.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <sstream>

namespace {

enum Action { Power, Play, Pause, Stop, Next, Prev, Eject, DoorOpen, DoorClose, Insert, Repeat, Shuffle, Endless,
              TimeModeClick, Ticks, GridPress, LongPlay, ActionCount };

struct Step {
    int action;
    int arg;
};

std::string invariantBroken(const platform::SimulatedDrive &drive) {
    if (RepeatOn && ShuffleOn) return "repeat and shuffle both on";
    const int tag = Form1->MediaPlayer1->Tag;
    if (tag < 0 || tag > 2) return "transport state " + std::to_string(tag);
    const bool loaded = Form1->SG_TRACK->Tag == 1 && !drive.doorOpen() && TrackCount > 0;
    if (ShuffleOn && loaded) {
        std::vector<int> entries(PlayOrder + 1, PlayOrder + 1 + TrackCount);
        std::sort(entries.begin(), entries.end());
        for (int k = 0; k < TrackCount; ++k)
            if (entries[static_cast<size_t>(k)] != k + 1) return "shuffle order is no permutation";
    }
    if (RepeatOn && loaded && (RepeatTrack < 1 || RepeatTrack > TrackCount))
        return "repeat track " + std::to_string(RepeatTrack) + " of " + std::to_string(TrackCount);
    if (loaded && (CurrentTrack < 1 || CurrentTrack > TrackCount))
        return "current track " + std::to_string(CurrentTrack) + " of " + std::to_string(TrackCount);
    return {};
}

// A tick that began a new shuffle pass (the order's position went back while shuffle stayed on)
// must play the new order's first entry from its start: every pass holds every track once.
std::string newPassBroken(int orderPosBefore) {
    if (!ShuffleOn || PlayOrderPos >= orderPosBefore) return {};
    const uint32_t pos = Form1->MediaPlayer1->Position();
    if (Form1->MediaPlayer1->Mode() == mpPlaying && tmsf::track(pos) == PlayOrder[1] && tmsf::minutes(pos) == 0 &&
        tmsf::seconds(pos) == 0)
        return {};
    return "a new shuffle pass does not start at its first entry (" + std::to_string(PlayOrder[1]) + "), device at " +
           std::to_string(tmsf::track(pos)) + " " + std::to_string(tmsf::seconds(pos)) + " s";
}

// Runs one sequence on fresh windows; returns what went wrong, or nothing.
std::string runSequence(const std::vector<Step> &steps, std::vector<std::string> &errors, size_t *ran = nullptr) {
    platform::SimulatedDrive drive;
    resetPlayerState();
    createWindows();
    Form1->MediaPlayer1->setDrive(&drive);
    setWaitHook([&drive](int ms) { drive.advance(std::max(ms, 1)); });
    // Tracks with and without a frame part: a framed track is left in its last fraction of a
    // second, a whole-second one once the device has run into the next.
    platform::SimulatedDisc first = platform::SimulatedDisc::ofSeconds({3, 2, 4});
    first.trackFrames[1] += 37;
    first.trackFrames[2] += 20;
    drive.insert(first);
    runGuarded([] { Form1->FormShow(Form1); });
    auto guarded = [](auto handler) { runGuarded(handler); };
    std::string broken;
    for (size_t i = 0; i < steps.size() && broken.empty(); ++i) {
        const Step &s = steps[i];
        switch (s.action) {
        case Power: guarded([] { Form1->PA_POWERClick(Form1->PA_POWER); }); break;
        case Play: guarded([] { Form1->PM_PlayClick(Form1->PM_Play); }); break;
        case Pause: guarded([] { Form1->MediaPlayer1->click(btPause); }); break;
        case Stop: guarded([] { Form1->PM_StopClick(Form1->PM_Stop); }); break;
        case Next: guarded([] { Form1->MediaPlayer1->click(btNext); }); break;
        case Prev: guarded([] { Form1->MediaPlayer1->click(btPrev); }); break;
        case Eject: guarded([] { Form1->PM_EJECTClick(Form1->PM_EJECT); }); break;
        case DoorOpen: drive.openDoor(); break;
        case DoorClose: drive.closeDoor(); break;
        case Insert: {
            platform::SimulatedDisc disc = platform::SimulatedDisc::ofSeconds(std::vector<int>(1 + s.arg % 5, 2));
            disc.trackFrames[0] += s.arg % 3 ? 37 : 0;
            drive.openDoor();
            drive.advance(250);
            guarded([] { Form1->Timer1Timer(Form1->Timer1); });
            drive.insert(disc);
            break;
        }
        case Repeat: guarded([] { Form1->PA_RepeatClick(Form1->PA_Repeat); }); break;
        case Shuffle: guarded([] { Form1->PA_ShffClick(Form1->PA_Shff); }); break;
        case Endless: guarded([] { Form1->PM_LOOPClick(Form1->PM_LOOP); }); break;
        case TimeModeClick: guarded([] { LCD_DISPLAY->PA_REMEINClick(LCD_DISPLAY->PA_REMEIN); }); break;
        case Ticks:
        case LongPlay:  // long enough for whole shuffle passes and ends of the disc: 4 to 29 s
            for (int k = 0; k <= (s.action == Ticks ? s.arg % 12 : 16 + s.arg) && broken.empty(); ++k) {
                drive.advance(250);
                const int orderPos = ShuffleOn ? PlayOrderPos : 0;
                if (Form1->Timer1->Enabled()) guarded([] { Form1->Timer1Timer(Form1->Timer1); });
                broken = newPassBroken(orderPos);
            }
            break;
        case GridPress:
            Form1->SG_TRACK->setCurrent(s.arg % 10, 0);
            guarded([] { Form1->SG_TRACKMouseUp(Form1->SG_TRACK, Qt::LeftButton); });
            break;
        }
        if (broken.empty()) broken = invariantBroken(drive);
        if (broken.empty() && !errors.empty()) broken = "error shown: " + errors.front();
        if (!broken.empty()) broken += " after step " + std::to_string(i) + " (action " + std::to_string(s.action) + ")";
        if (ran) *ran = i + 1;
        if (Form1->PA_POWER->Tag == 0) break;  // power off ends the program
    }
    setWaitHook({});
    destroyWindows();
    return broken;
}

using Model = AppFixture;

TEST_F(Model, RandomUseKeepsThePlayerConsistent) {
    // Actions and arguments come from their whole ranges at every size: RapidCheck scales an
    // integer range with the size, which kept the later actions (repeat, shuffle, ...) out of
    // short sequences.
    const auto step = rc::gen::build<Step>(
        rc::gen::set(&Step::action, rc::gen::resize(rc::kNominalSize, rc::gen::inRange(0, int(ActionCount)))),
        rc::gen::set(&Step::arg, rc::gen::resize(rc::kNominalSize, rc::gen::inRange(0, 100))));
    rc::detail::TestParams params;
    params.seed = 20240611;
    params.maxSuccess = 100;
    params.maxSize = 60;
    rc::detail::TestMetadata metadata;
    metadata.id = metadata.description = "random use keeps the player consistent";
    const rc::detail::TestResult result = rc::detail::checkTestable(
        [&] {
            auto steps = *rc::gen::container<std::vector<Step>>(step);
            errors.clear();
            RC_ASSERT(runSequence(steps, errors) == std::string());
        },
        metadata, params);
    std::ostringstream message;
    rc::detail::printResultMessage(result, message);
    EXPECT_TRUE(result.is<rc::detail::SuccessResult>()) << message.str();
}

// A long soak on demand: TUNEWICK_SOAK_STEPS=<n> runs sequences of random steps, each on fresh
// windows until its power off, until n steps have run. The seed is printed for a rerun
// (TUNEWICK_SOAK_SEED).
TEST_F(Model, SoakOnDemand) {
    const char *soak = std::getenv("TUNEWICK_SOAK_STEPS");
    if (!soak) GTEST_SKIP() << "set TUNEWICK_SOAK_STEPS to run the soak";
    const size_t wanted = static_cast<size_t>(std::max(1, std::atoi(soak)));
    const char *seedText = std::getenv("TUNEWICK_SOAK_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::atoi(seedText)) : static_cast<unsigned>(std::time(nullptr));
    std::mt19937 random(seed);
    size_t total = 0;
    size_t sequences = 0;
    while (total < wanted) {
        std::vector<Step> steps(500);
        for (Step &s : steps) s = {static_cast<int>(random() % ActionCount), static_cast<int>(random() % 100)};
        size_t ran = 0;
        errors.clear();
        const std::string broken = runSequence(steps, errors, &ran);
        ASSERT_EQ(broken, std::string()) << "seed " << seed << ", sequence " << sequences;
        total += ran;
        ++sequences;
    }
    std::printf("soak: %zu steps in %zu sequences, seed %u, no invariant broken\n", total, sequences, seed);
}

}  // namespace
