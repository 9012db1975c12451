// When the worker runs the system's full look for a CD drive: once at start, then only after the
// device folder has changed, so that an idle player without a drive does not probe the system every
// second, yet a drive whose node appears after start is still found.
#include "platform/backends/DriveLookGate.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using platform::DriveLookGate;

// A device folder in which the test makes a drive's node (a plain file) appear, and a look that
// finds it there.
class DeviceFolder {
public:
    std::string path() const { return m_dir.path().toStdString(); }
    std::string node() const { return path() + "/sr0"; }
    void plugIn() { std::ofstream(node()).put('x'); }
    void makeOtherNode() { std::ofstream(path() + "/tty9").put('x'); }
    DriveLookGate::Look look() {
        return [this] {
            ++looks;
            return fs::exists(node()) ? node() : std::string();
        };
    }
    int looks = 0;

private:
    QTemporaryDir m_dir;
};

TEST(DriveLookGate, LooksAtStartThenOnlyWhenTheFolderChangesAndFindsADrivePluggedInLater) {
    DeviceFolder dev;
    DriveLookGate gate(dev.path(), dev.look(), 0s);
    ASSERT_TRUE(gate.watching()) << "inotify is missing: the gate would look every second for a while";

    EXPECT_EQ(gate(), "");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(gate(), "");
    EXPECT_EQ(dev.looks, 1) << "looked again although nothing in the folder changed";

    // Something else appears: one look, then quiet again.
    dev.makeOtherNode();
    EXPECT_EQ(gate(), "");
    EXPECT_EQ(gate(), "");
    EXPECT_EQ(dev.looks, 2);

    // The drive is plugged in: the next call finds it.
    dev.plugIn();
    EXPECT_EQ(gate(), dev.node());

    // udev then gives the node its group: a change of mode or owner counts too (the first look may
    // have been refused for want of permission).
    fs::permissions(dev.node(), fs::perms::group_read, fs::perm_options::add);
    EXPECT_EQ(gate(), dev.node());
    EXPECT_EQ(dev.looks, 4);
}

TEST(DriveLookGate, KeepsLookingForTheSettlingTimeAfterAChange) {
    DeviceFolder dev;
    DriveLookGate gate(dev.path(), dev.look(), 1h);
    gate();
    EXPECT_EQ(dev.looks, 1) << "the start alone must not open a settling time while the folder is watched";
    dev.makeOtherNode();
    for (int i = 0; i < 3; ++i) gate();
    EXPECT_EQ(dev.looks, 4) << "every call within the settling time after a change looks";
}

// A folder missing at start cannot be watched; its appearing and a new modification time are
// changes, and nothing else is.
TEST(FolderChanges, AFolderThatCannotBeWatchedFallsBackToItsModificationTime) {
    DeviceFolder dev;
    const std::string folder = dev.path() + "/missing";
    platform::FolderChanges changes(folder);
    EXPECT_FALSE(changes.watching());
    EXPECT_TRUE(changes.changed()) << "without a watch the first call counts as a change";
    EXPECT_FALSE(changes.changed()) << "still missing";
    fs::create_directory(folder);
    EXPECT_TRUE(changes.changed()) << "appeared";
    EXPECT_FALSE(changes.changed());
    fs::last_write_time(folder, fs::last_write_time(folder) + 1h);
    EXPECT_TRUE(changes.changed()) << "modified";
    EXPECT_FALSE(changes.changed());
}

} // namespace
