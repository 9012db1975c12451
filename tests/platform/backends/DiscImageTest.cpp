// The extraction drive over disc images that the tests write themselves: libcdio's reading of
// .cue/.bin and .toc, what the outputs receive, and the reasons given when an image cannot be used.
#include "platform/Deemphasis.h"
#include "platform/backends/CdioSource.h"
#include "platform/backends/ClockedOutput.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/backends/TocNames.h"
#include "tests/platform/backends/TestDisc.h"

#include <cdio/logging.h>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing::eventually;
using testing::patternOf;

// Track 1: sectors 0-99, track 2: 100-179 (audio), track 3: 180-239 (data).
constexpr int kTrack2 = 100;
constexpr int kDataTrack = 180;
constexpr int kLeadOut = 240;

class DiscImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        cdio_loglevel_default = CDIO_LOG_ERROR; // the short tracks here draw pregap warnings
        char pattern[] = "/tmp/tunewick-images-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        std::vector<uint8_t> bin = patternOf(0, kDataTrack);
        bin.resize(static_cast<size_t>(kLeadOut) * kSectorBytes, 0x5A); // the data track's bytes
        write("disc.bin", std::string(bin.begin(), bin.end()));
        write("disc.cue", "FILE \"disc.bin\" BINARY\n"
                          "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                          "  TRACK 02 AUDIO\n    INDEX 01 00:01:25\n"
                          "  TRACK 03 MODE1/2352\n    INDEX 01 00:02:30\n");
        // libcdio takes the data of a .cue from the .bin of the same name.
        write("data.cue", "FILE \"data.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
        write("data.bin", std::string(static_cast<size_t>(60) * kSectorBytes, '\x5a'));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string path(const std::string &name) const { return (m_dir / name).string(); }
    void write(const std::string &name, const std::string &bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    // Plays sectors from `from` to the end of its audio run through `output`; true when it ended.
    static bool playImage(const std::string &image, int from, std::shared_ptr<AudioOutput> output) {
        ExtractionDrive drive([image](std::string &reason) { return CdioSource::create(image, reason); },
                              std::move(output));
        std::string reason;
        if (!drive.open(reason) || !drive.play(from)) return false;
        return eventually([&] { return drive.status().state == DriveState::Stopped; });
    }

    fs::path m_dir;
};

TEST_F(DiscImageTest, TableOfContentsOfACueSheetWithADataTrack) {
    std::string reason;
    auto source = CdioSource::create(path("disc.cue"), reason);
    ASSERT_TRUE(source) << reason;
    TableOfContents toc;
    ASSERT_EQ(source->poll(toc), MediaState::Ready);
    EXPECT_EQ(toc.firstTrack, 1);
    EXPECT_EQ(toc.lastTrack, 3);
    EXPECT_EQ(toc.trackStart, (std::vector<int>{0, kTrack2, kDataTrack}));
    EXPECT_EQ(toc.dataTrack, (std::vector<bool>{false, false, true}));
    EXPECT_EQ(toc.leadOut, kLeadOut);
    EXPECT_FALSE(source->hasDoor()) << "an image has no door to open";
}

TEST_F(DiscImageTest, NullOutputReceivesTheImagesAudioByteForByteAndStopsBeforeTheDataTrack) {
    auto output = std::make_shared<NullOutput>(50);
    output->keepCopy(true);
    ASSERT_TRUE(playImage(path("disc.cue"), 30, output));
    EXPECT_TRUE(output->copy() == patternOf(30, kDataTrack)) << "bytes heard: " << output->copy().size();
}

TEST_F(DiscImageTest, WavFileHoldsWhatWasHeardWithRightSizes) {
    std::string wav = path("heard.wav");
    {
        auto output = std::make_shared<WavOutput>(wav, 50);
        ASSERT_TRUE(output->ok()) << output->error();
        ASSERT_TRUE(playImage(path("disc.cue"), kTrack2, output));
    }
    std::ifstream in(wav, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(file.size(), 44u);
    auto le32 = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(file[at])) |
               static_cast<uint32_t>(static_cast<uint8_t>(file[at + 1])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(file[at + 2])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(file[at + 3])) << 24;
    };
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(24), 44100u);
    EXPECT_EQ(file.substr(36, 4), "data");
    EXPECT_EQ(le32(4), file.size() - 8);
    EXPECT_EQ(le32(40), file.size() - 44);
    std::vector<uint8_t> expected = patternOf(kTrack2, kDataTrack);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 44, file.end(),
                           [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));
}

// A .toc's relative FILE names are found in its own folder whatever the current folder is; only
// the names of FILE, AUDIOFILE and DATAFILE statements are read so, never CD-Text or a comment.
// A START puts the track's INDEX 01 that far into its data, the pregap before it belonging to the
// track before; the disc ends where the last track's data ends, not past it (the data track's
// bytes follow it in disc.bin; short.bin ends with it), also when that data runs to its file's end.
TEST_F(DiscImageTest, CdrdaoTocImagePlaysLikeTheCueSheet) {
    struct InFolder {
        fs::path before = fs::current_path();
        explicit InFolder(const fs::path &folder) { fs::current_path(folder); }
        ~InFolder() { fs::current_path(before); }
    } elsewhere("/");
    const std::string sheet =
        "CD_TEXT { LANGUAGE 0 { TITLE \"FILE \\\"a.bin\\\"\" } }\n"
        "// FILE \"b.bin\"\nTRACK AUDIO\nAUDIOFILE \"c.wav\" 0\nDATAFILE \"d\\\"e.bin\"\n";
    EXPECT_EQ(withFileNamesResolved(sheet, [](const std::string &name) { return "/x/" + name; }),
              "CD_TEXT { LANGUAGE 0 { TITLE \"FILE \\\"a.bin\\\"\" } }\n"
              "// FILE \"b.bin\"\nTRACK AUDIO\nAUDIOFILE \"/x/c.wav\" 0\nDATAFILE \"d\\\"e.bin\"\n");
    EXPECT_EQ(tracksWithStart("TRACK AUDIO // START\nTRACK AUDIO START\nTRACK AUDIO ISRC \"START\""),
              (std::vector<bool>{false, true, false}));
    const std::vector<uint8_t> audio = patternOf(0, kDataTrack);
    write("short.bin", std::string(audio.begin(), audio.end()));
    const auto three = [](const std::string &bin, const std::string &start1, const std::string &length3,
                          const std::string &start3) {
        return "CD_DA\nTRACK AUDIO\nFILE \"" + bin + "\" 0 00:01:00\n" + start1 + "TRACK AUDIO\nFILE \"" +
               bin + "\" 00:01:00 00:00:50\nSTART 00:00:10\nTRACK AUDIO\nFILE \"" + bin + "\" 00:01:50" +
               length3 + "\n" + start3;
    };
    const std::string two = "CD_DA\nTRACK AUDIO\nFILE \"disc.bin\" 0 00:01:25\nTRACK AUDIO\n";
    for (const auto &[sheet, starts] : std::vector<std::pair<std::string, std::vector<int>>>{
             {two + "FILE \"" + path("disc.bin") + "\" 00:01:25 00:01:05\n", {0, kTrack2}},
             // libcdio gives a PREGAP no silence, and a pregap that is not on the disc: no START, no gap.
             {two + "PREGAP 00:03:00\nFILE \"disc.bin\" 00:01:25 00:01:05\n", {0, kTrack2}},
             {three("disc.bin", "", " 00:00:55", "START 00:00:20\n"), {0, 85, 145}},
             {three("short.bin", "START 00:00:05\n", " 00:00:55", "START 00:00:20\n"), {5, 85, 145}},
             // A last track that starts into its file and runs to the file's end.
             {three("short.bin", "", "", "START 00:00:20\n"), {0, 85, 145}},
             {"CD_DA\nTRACK AUDIO\nFILE \"short.bin\" 0 00:01:25\nTRACK AUDIO\nAUDIOFILE \"short.bin\" "
              "00:01:25 0 // 00:00:10\n",
              {0, kTrack2}}}) {
        SCOPED_TRACE(sheet);
        write("disc.toc", sheet);
        std::string reason;
        auto source = CdioSource::create(path("disc.toc"), reason);
        ASSERT_TRUE(source) << reason;
        TableOfContents toc;
        ASSERT_EQ(source->poll(toc), MediaState::Ready);
        EXPECT_EQ(toc.trackStart, starts);
        EXPECT_EQ(toc.leadOut, kDataTrack);

        auto output = std::make_shared<NullOutput>(50);
        output->keepCopy(true);
        ASSERT_TRUE(playImage(path("disc.toc"), 90, output));
        EXPECT_TRUE(output->copy() == patternOf(90, kDataTrack)) << "bytes heard: " << output->copy().size();
    }
}

TEST_F(DiscImageTest, ATocImagesPreEmphasisTrackIsFilteredOnItsWayToTheOutputUnlessSwitchedOff) {
    const std::string bin = path("disc.bin");
    write("flagged.toc", "CD_DA\nTRACK AUDIO\nNO PRE_EMPHASIS\nFILE \"" + bin + "\" 0 00:01:25\n"
                         "TRACK AUDIO\nPRE_EMPHASIS\nFILE \"" + bin + "\" 00:01:25 00:01:05\n");
    std::string reason;
    auto source = CdioSource::create(path("flagged.toc"), reason);
    ASSERT_TRUE(source) << reason;
    TableOfContents toc;
    ASSERT_EQ(source->poll(toc), MediaState::Ready);
    EXPECT_EQ(toc.preemphasis, (std::vector<bool>{false, true}));

    // From track 1 into track 2: the first as it is, the second filtered from a clean start.
    std::vector<uint8_t> expected = patternOf(90, kDataTrack);
    DeemphasisFilter().process(expected.data() + 10 * kSectorBytes, (kDataTrack - kTrack2) * kFramesPerSector);
    auto output = std::make_shared<NullOutput>(50);
    output->keepCopy(true);
    ASSERT_TRUE(playImage(path("flagged.toc"), 90, output));
    EXPECT_TRUE(output->copy() == expected);

    setDeemphasisEnabled(false);
    output = std::make_shared<NullOutput>(50);
    output->keepCopy(true);
    const bool played = playImage(path("flagged.toc"), 90, output);
    setDeemphasisEnabled(true);
    ASSERT_TRUE(played);
    EXPECT_TRUE(output->copy() == patternOf(90, kDataTrack));
}

TEST_F(DiscImageTest, ImagesThatCannotPlaySayWhy) {
    ASSERT_EQ(mkfifo(path("pipe.toc").c_str(), 0600), 0);
    // A sheet whose audio is a named pipe, named relatively and absolutely: nothing ever writes to
    // it, so reading it would wait until the check's time limit, with the window.
    ASSERT_EQ(mkfifo(path("pipe.bin").c_str(), 0600), 0);
    write("piped.toc", "CD_DA\nTRACK AUDIO\nFILE \"pipe.bin\" 0 00:01:00\n");
    write("piped.cue", "FILE \"" + path("pipe.bin") + "\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    // libcdio lays out each track of a .toc where its data begins in its file: a file for each
    // track gives them all one place, and with a START each at its pregap's length.
    write("per-file.toc",
          "CD_DA\nTRACK AUDIO\nFILE \"disc.bin\" 0 00:01:00\nTRACK AUDIO\nFILE \"disc.bin\" 0\n");
    write("per-file-start.toc", "CD_DA\nTRACK AUDIO\nFILE \"disc.bin\" 0 00:01:00\nTRACK AUDIO\nFILE "
                                "\"disc.bin\" 0\nSTART 00:00:20\n");
    // A .toc larger than any real one, its last track's START in the part that is not scanned.
    std::string padding;
    for (int line = 0; line < 20000; ++line)
        padding += "// a comment as long as a line of CD-Text in a sheet of many tracks.\n";
    const std::string bin = "FILE \"" + path("disc.bin") + "\" ";
    write("large.toc", padding + "CD_DA\nTRACK AUDIO\n" + bin + "0 00:01:00\nTRACK AUDIO\n" + bin +
                           "00:01:00 00:00:50\nSTART 00:00:10\n");
    struct Case {
        std::string image;
        std::string reasonHolds;
    };
    for (const Case &c : {Case{path("data.cue"), "音楽CDではありません"},
                          Case{path("absent.cue"), "CDﾄﾞﾗｲﾌﾞもﾃﾞｨｽｸｲﾒｰｼﾞもありません"},
                          Case{path("disc.bin"), "ﾃﾞｨｽｸｲﾒｰｼﾞではありません"},
                          Case{path("per-file.toc"), "読めないﾃﾞｨｽｸｲﾒｰｼﾞです"},
                          Case{path("per-file-start.toc"), "読めないﾃﾞｨｽｸｲﾒｰｼﾞです"},
                          Case{path("large.toc"), "読めないﾃﾞｨｽｸｲﾒｰｼﾞです"},
                          Case{path("pipe.toc"), "普通のﾌｧｲﾙではありません"},
                          Case{path("piped.toc"), "普通のﾌｧｲﾙではありません: " + path("pipe.bin")},
                          Case{path("piped.cue"), "普通のﾌｧｲﾙではありません: " + path("pipe.bin")}}) {
        std::string reason;
        EXPECT_FALSE(CdioSource::create(c.image, reason)) << c.image;
        EXPECT_NE(reason.find(c.reasonHolds), std::string::npos) << c.image << ": " << reason;

        ExtractionDrive drive([image = c.image](std::string &why) { return CdioSource::create(image, why); },
                              std::make_shared<NullOutput>());
        std::string openReason;
        EXPECT_FALSE(drive.open(openReason));
        EXPECT_EQ(openReason, reason) << "open() passes the reason on";
    }
}

// The check's child keeps none of the player's descriptors: one left behind by a killed player would
// hold the player's single-instance socket and keep every later start out.
TEST(ChildCheck, KeepsNoneOfThePlayersDescriptors) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0); // inheritable on purpose
    const auto onlyTheStandardThree = [] {
        for (int fd = 3; fd < 1024; ++fd)
            if (fcntl(fd, F_GETFD) != -1) return false;
        return true;
    };
    EXPECT_TRUE(succeedsInChild(onlyTheStandardThree, 5000));
    EXPECT_FALSE(succeedsInChild([] { return false; }, 5000));
    close(pair[0]);
    close(pair[1]);
}

} // namespace
} // namespace platform
