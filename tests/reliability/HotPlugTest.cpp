// A USB drive plugged in after start and pulled out while it plays: with no drive named, the
// player keeps looking for one on the drive's worker, loads the disc of the drive that appears as
// if it had been there at start, takes a drive that goes away as an ejected disc, and looks again.
#include "tests/support/AppFixture.h"

#include "platform/backends/ClockedOutput.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/backends/HotPlugSource.h"
#include "platform/backends/MemorySource.h"
#include "player/PlayerState.h"
#include "player/TimeFormat.h"
#include "ui/Form1.h"
#include "ui/LcdDisplay.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <unistd.h>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using platform::TableOfContents;

TableOfContents twoTrackDisc() {
    TableOfContents toc;
    toc.firstTrack = 1;
    toc.lastTrack = 2;
    toc.trackStart = {0, 20 * platform::kFramesPerSecond};
    toc.dataTrack = {false, false};
    toc.leadOut = 40 * platform::kFramesPerSecond;
    return toc;
}

// A drive that the test plugs in and pulls out. Its finder notes every thread it is called on
// and can be held, as a slow look at the system's devices would be.
class PluggableDrive {
public:
    platform::HotPlugSource::Finder finder() {
        return {[this] {
                    std::unique_lock lock(m_mutex);
                    note();
                    ++m_looks;
                    m_released.wait(lock, [this] { return !m_held; });
                    return m_node.empty() ? std::string() : std::string("/dev/sr7");
                },
                [this](const std::string &) {
                    std::lock_guard lock(m_mutex);
                    note();
                    return m_node;
                },
                [this](const std::string &, std::string &) -> std::shared_ptr<platform::SectorSource> {
                    std::lock_guard lock(m_mutex);
                    note();
                    return std::make_shared<platform::MemorySource>(twoTrackDisc(), [](int, uint8_t *sector) {
                        std::fill(sector, sector + platform::kSectorBytes, uint8_t{0});
                    });
                }};
    }
    void plugIn() { setNode("node " + std::to_string(++m_nodesMade)); }
    void pullOut() { setNode(""); }
    void hold() {
        std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void release() {
        std::lock_guard lock(m_mutex);
        m_held = false;
        m_released.notify_all();
    }
    int looks() const {
        std::lock_guard lock(m_mutex);
        return m_looks;
    }
    bool calledOn(std::thread::id thread) const {
        std::lock_guard lock(m_mutex);
        return std::find(m_threads.begin(), m_threads.end(), thread) != m_threads.end();
    }

private:
    void setNode(std::string node) {
        std::lock_guard lock(m_mutex);
        m_node = std::move(node);
    }
    void note() {
        if (std::find(m_threads.begin(), m_threads.end(), std::this_thread::get_id()) == m_threads.end())
            m_threads.push_back(std::this_thread::get_id());
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::string m_node; // empty while no drive is plugged in
    int m_nodesMade = 0;
    bool m_held = false;
    int m_looks = 0;
    std::vector<std::thread::id> m_threads;
};

class HotPlug : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_drive = std::make_unique<platform::ExtractionDrive>(
            [this](std::string &) {
                return std::make_shared<platform::HotPlugSource>(m_pluggable.finder(), nullptr, "", 20ms);
            },
            std::make_shared<platform::NullOutput>(1.0), options());
    }
    void TearDown() override {
        m_pluggable.release();
        AppFixture::TearDown();
        m_drive.reset();
    }
    static platform::ExtractionDrive::Options options() {
        platform::ExtractionDrive::Options options;
        options.pollMs = 10;
        return options;
    }
    void start() {
        createApp();
        Form1->MediaPlayer1->setDrive(m_drive.get());
        startApp();
    }
    // Runs poll ticks, letting the drive's worker run between them, until `done`; false after 10 s.
    template <class Done> bool tickUntil(Done done) {
        for (int i = 0; i < 1000; ++i) {
            tick();
            if (done()) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    static bool discLoaded() { return Form1->SG_TRACK->Tag == 1 && TrackCount == 2; }
    static bool panelReset() {
        return Form1->SG_TRACK->Tag == 0 && Form1->SG_TRACK->Cells(0, 0) == " " &&
               Form1->MediaPlayer1->EnabledButtons() == buttonSet({btEject});
    }
    bool titleShown(const std::string &title) const {
        return std::find(titleLine.begin(), titleLine.end(), title) != titleLine.end();
    }

    PluggableDrive m_pluggable;
    std::unique_ptr<platform::ExtractionDrive> m_drive;
};

TEST_F(HotPlug, DriveThatAppearsLoadsItsDiscAndOneThatGoesActsAsAnEjectedDisc) {
    const TableOfContents disc = twoTrackDisc();
    writeCatalogue(msf::fromFrames(disc.leadOut - disc.startOf(1) - 1), {"Plugged Disc", "One", "Two"});
    m_pluggable.hold();
    start();
    // However long a look takes, the poll goes on: the window's thread never waits for it.
    ASSERT_TRUE(tickUntil([&] { return m_pluggable.looks() > 0; }));
    tick(8);
    EXPECT_EQ(Form1->MediaPlayer1->Mode(), mpNotReady);
    EXPECT_EQ(Form1->SG_TRACK->Tag, 0);

    m_pluggable.plugIn();
    m_pluggable.release();
    ASSERT_TRUE(tickUntil(&discLoaded));
    EXPECT_TRUE(titleShown("Plugged Disc"));
    EXPECT_EQ(modalCount, 0) << "a disc with titles must not ask to be registered";

    // Pulled out while it plays: one reset, as for an ejected disc, and no error.
    Form1->PM_PlayClick(Form1->PM_Play);
    ASSERT_TRUE(tickUntil([] { return Form1->MediaPlayer1->Mode() == mpPlaying; }));
    m_pluggable.pullOut();
    ASSERT_TRUE(tickUntil(&panelReset));
    ASSERT_TRUE(tickUntil([] { return Form1->MediaPlayer1->Mode() == mpNotReady; }));
    tick(4);
    EXPECT_EQ(Form1->SG_TRACK->Tag, 0);

    // Plugged in again: looked for anew and loaded. Then pulled and plugged back between two polls,
    // so the name stays and only the node is new: still a disc gone (seen while the next look is
    // held) and a disc come.
    titleLine.clear();
    m_pluggable.plugIn();
    ASSERT_TRUE(tickUntil(&discLoaded));
    EXPECT_TRUE(titleShown("Plugged Disc"));
    m_pluggable.hold();
    m_pluggable.plugIn();
    ASSERT_TRUE(tickUntil(&panelReset));
    m_pluggable.release();
    ASSERT_TRUE(tickUntil(&discLoaded));
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_FALSE(m_pluggable.calledOn(std::this_thread::get_id())) << "the window's thread looked for a drive";
}

// Looking costs a scan of the system's devices: no more than once per look interval, however
// often the worker polls (here every 10 ms against a look interval of 100 ms).
TEST(HotPlugSource, LooksAtMostOncePerInterval) {
    PluggableDrive pluggable;
    platform::ExtractionDrive drive(
        [&](std::string &) {
            return std::make_shared<platform::HotPlugSource>(pluggable.finder(), nullptr, "", 100ms);
        },
        std::make_shared<platform::NullOutput>(1.0), platform::ExtractionDrive::Options{.pollMs = 10});
    std::string reason;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(drive.open(reason));
    std::this_thread::sleep_for(550ms);
    const int looks = pluggable.looks();
    const auto elapsed = std::chrono::steady_clock::now() - started;
    drive.close();
    EXPECT_GE(looks, 2);
    EXPECT_LE(looks, elapsed / 100ms + 1);
    EXPECT_EQ(drive.status().state, platform::DriveState::NoDrive);
}

// With no drive and nothing to find until the device folder changes, the worker sleeps instead of
// waking every poll interval; the window's poll, glancing at the folder's watch, wakes it for a
// look once something has changed there (here a pipe stands for the watch).
TEST(HotPlugSource, SleepsWithNoDriveUntilTheWatchedFolderChanges) {
    PluggableDrive pluggable;
    int watch[2];
    ASSERT_EQ(::pipe(watch), 0);
    platform::HotPlugSource::Finder finder = pluggable.finder();
    finder.quietUntilReadable = [&] { return watch[0]; };
    platform::ExtractionDrive drive(
        [&](std::string &) { return std::make_shared<platform::HotPlugSource>(finder, nullptr, "", 10ms); },
        std::make_shared<platform::NullOutput>(1.0), platform::ExtractionDrive::Options{.pollMs = 10});
    std::string reason;
    ASSERT_TRUE(drive.open(reason));
    const auto waitForLooks = [&](int looks) {
        for (int i = 0; i < 200 && pluggable.looks() < looks; ++i) {
            drive.status();
            std::this_thread::sleep_for(10ms);
        }
    };
    waitForLooks(1);
    std::this_thread::sleep_for(300ms); // thirty poll intervals
    EXPECT_EQ(drive.status().state, platform::DriveState::NoDrive);
    EXPECT_EQ(pluggable.looks(), 1);

    pluggable.plugIn();
    ASSERT_EQ(::write(watch[1], "x", 1), 1);
    waitForLooks(2);
    EXPECT_EQ(pluggable.looks(), 2);
    for (int i = 0; i < 200 && drive.status().state == platform::DriveState::NoDrive; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_NE(drive.status().state, platform::DriveState::NoDrive);
    drive.close();
    ::close(watch[0]);
    ::close(watch[1]);
}

} // namespace
