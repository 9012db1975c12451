// Rips played as discs: the same generated audio as a raw .bin (read through libcdio, the reference),
// as one FLAC file, and as one file per track in a code page 932 sheet, with hidden audio before
// track 1, a PREGAP, an INDEX 00 at the end of the previous file and a last sector cut short.
#include "platform/backends/CdioSource.h"
#include "platform/backends/ClockedOutput.h"
#include "platform/backends/CueSheet.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/backends/RipSource.h"
#include "platform/Cp932.h"
#include "tests/platform/backends/TestDisc.h"

#include <cdio/logging.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing::eventually;
using testing::patternOf;

// The disc in sectors: hidden audio 0-74, track 1 from 75, track 2's two seconds of silence
// 375-524 and its audio from 525, track 3's INDEX 00 at 750 and its start at 825, lead-out 1125;
// the last sector lacks its final 100 samples.
constexpr int kTrack2 = 525, kTrack3Gap = 750, kTrack3 = 825, kLeadOut = 1125, kSilence = 375;
constexpr size_t kShortBy = 100 * 4;

// The disc's bytes from sector `from` to `to`, silence and the short end included.
std::vector<uint8_t> discBytes(int from, int to) {
    std::vector<uint8_t> bytes = patternOf(from, to);
    for (int lsn = std::max(from, kSilence); lsn < std::min(to, kTrack2); ++lsn)
        std::fill_n(bytes.begin() + (lsn - from) * kSectorBytes, kSectorBytes, 0);
    if (to == kLeadOut) std::fill(bytes.end() - kShortBy, bytes.end(), 0);
    return bytes;
}

std::string sjis(const char *utf8) { return cp932::fromUtf8(utf8); }

class RipTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        cdio_loglevel_default = CDIO_LOG_ERROR;
        s_dir = fs::temp_directory_path() / ("tunewick-rips-" + std::to_string(getpid()));
        fs::create_directories(s_dir);
        const std::vector<uint8_t> disc = discBytes(0, kLeadOut);
        auto part = [&](int from, int to, bool shortEnd = false) {
            std::string bytes(disc.begin() + from * kSectorBytes, disc.begin() + to * kSectorBytes);
            if (shortEnd) bytes.resize(bytes.size() - kShortBy);
            return bytes;
        };
        write("disc.bin", part(0, kLeadOut));
        write("disc.cue", "FILE \"disc.bin\" BINARY\n"
                          "  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:01:00\n"
                          "  TRACK 02 AUDIO\n    INDEX 00 00:05:00\n    INDEX 01 00:07:00\n"
                          "  TRACK 03 AUDIO\n    INDEX 00 00:10:00\n    INDEX 01 00:11:00\n");
        // One file for the disc, as FLAC, AIFF and WavPack; the silence before track 2 is the sheet's
        // PREGAP, not in the file.
        const std::string album = part(0, kSilence) + part(kTrack2, kLeadOut, true);
        encodeFlac("album.flac", album);
        writeWav("album.wav", album);
        run("sox -t raw -r 44100 -e signed-integer -b 16 -c 2 '" + path("pcm.raw") + "' '" + path("album.aiff") + "'");
        run("wavpack -q -y '" + path("album.wav") + "' -o '" + path("album.wv") + "'");
        for (const char *file : {"album.flac", "album.aiff", "album.wv"})
            write(std::string(file) + ".cue",
                  "\xEF\xBB\xBFREM GENRE Test\nCATALOG 0000000000000\nTITLE \"Album\"\nFILE \"" + std::string(file) + "\" WAVE\n"
                  "  TRACK 01 AUDIO\n    ISRC XX0000000001\n    INDEX 00 00:00:00\n    INDEX 01 00:01:00\n"
                  "  TRACK 02 AUDIO\n    FLAGS DCP\n    PREGAP 00:02:00\n    INDEX 01 00:05:00\n"
                  "  TRACK 03 AUDIO\n    INDEX 00 00:08:00\n    INDEX 01 00:09:00\n");
        // One file per track, names and titles in code page 932 (the first file's name on disk in
        // UTF-8, as an unpacked archive leaves it); track 3's gap ends file 2.
        writeWav("01 序曲.wav", part(0, kSilence));
        encodeFlac("02.flac", part(kTrack2, kTrack3));
        encodeFlac("03.flac", part(kTrack3, kLeadOut, true));
        write("tracks.cue", sjis("TITLE \"テスト盤\"\r\nFILE \"01 序曲.wav\" WAVE\r\n"
                                 "  TRACK 01 AUDIO\r\n    TITLE \"序曲\"\r\n    INDEX 00 00:00:00\r\n    INDEX 01 00:01:00\r\n"
                                 "FILE \"02.flac\" WAVE\r\n  TRACK 02 AUDIO\r\n    PREGAP 00:02:00\r\n    INDEX 01 00:00:00\r\n"
                                 "  TRACK 03 AUDIO\r\n    TITLE \"終曲\"\r\n    INDEX 00 00:03:00\r\n"
                                 "FILE \"03.flac\" WAVE\r\n    INDEX 01 00:00:00\r\n"));
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static std::string path(const std::string &name) { return (s_dir / name).string(); }
    static void write(const std::string &name, const std::string &bytes) {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    static void writeWav(const std::string &name, const std::string &pcm, uint32_t rate = 44100) {
        std::string header = "RIFF....WAVEfmt ";
        auto put = [&](uint32_t value, int bytes) {
            for (int i = 0; i < bytes; ++i) header.push_back(static_cast<char>(value >> (8 * i)));
        };
        put(16, 4), put(1, 2), put(2, 2), put(rate, 4), put(rate * 4, 4), put(4, 2), put(16, 2);
        header += "data";
        put(static_cast<uint32_t>(pcm.size()), 4);
        header.replace(4, 4, std::string{static_cast<char>((header.size() + pcm.size() - 8) & 0xff),
                                         static_cast<char>(((header.size() + pcm.size() - 8) >> 8) & 0xff),
                                         static_cast<char>(((header.size() + pcm.size() - 8) >> 16) & 0xff), 0});
        write(name, header + pcm);
    }
    static void encodeFlac(const std::string &name, const std::string &pcm) {
        write("pcm.raw", pcm);
        run("flac -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 --sample-rate=44100 -o '" +
            path(name) + "' '" + path("pcm.raw") + "'");
    }
    static void run(const std::string &command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

    // Everything the drive plays from `from` to the end of the disc.
    static std::vector<uint8_t> played(const ExtractionDrive::SourceMaker &make, int from) {
        auto output = std::make_shared<NullOutput>(100);
        output->keepCopy(true);
        ExtractionDrive drive(make, output);
        std::string reason;
        if (!drive.open(reason) || !drive.play(from)) return {};
        if (!eventually([&] { return drive.status().state == DriveState::Stopped; }, 30)) return {};
        return output->copy();
    }

    static fs::path s_dir;
};

fs::path RipTest::s_dir;

TEST_F(RipTest, EveryKindOfRipGivesTheBinsTableOfContentsAndPlaysItsSamplesBitForBit) {
    std::string reason;
    auto bin = CdioSource::create(path("disc.cue"), reason);
    ASSERT_TRUE(bin) << reason;
    TableOfContents reference;
    ASSERT_EQ(bin->poll(reference), MediaState::Ready);
    ASSERT_EQ(reference.trackStart, (std::vector<int>{75, kTrack2, kTrack3}));
    ASSERT_EQ(reference.leadOut, kLeadOut);

    for (const char *sheet : {"disc.cue", "album.flac.cue", "album.aiff.cue", "album.wv.cue", "tracks.cue"}) {
        SCOPED_TRACE(sheet);
        auto rip = RipSource::create(path(sheet), reason);
        ASSERT_TRUE(rip) << reason;
        TableOfContents toc;
        ASSERT_EQ(rip->knownAtStart(toc), MediaState::Ready);
        // Same starts and lead-out: the same lengths and so the same catalogue file as the disc.
        EXPECT_EQ(toc.trackStart, reference.trackStart);
        EXPECT_EQ(toc.leadOut, reference.leadOut);
        EXPECT_EQ(toc.dataTrack, reference.dataTrack);
        std::vector<uint8_t> read(static_cast<size_t>(kLeadOut - 75) * kSectorBytes);
        for (int lsn = 75; lsn < kLeadOut; lsn += 25)
            ASSERT_TRUE(rip->read(lsn, std::min(25, kLeadOut - lsn), read.data() + static_cast<size_t>(lsn - 75) * kSectorBytes));
        EXPECT_TRUE(read == discBytes(75, kLeadOut));
    }
    // And through the drive, from the middle of track 2 on.
    const std::string file = path("tracks.cue");
    std::vector<uint8_t> heard = played([file](std::string &why) { return RipSource::create(file, why); }, 600);
    EXPECT_TRUE(heard == discBytes(600, kLeadOut)) << "bytes heard: " << heard.size();
}

TEST_F(RipTest, FlagsPreOfTheSheetMarksItsTracksForDeemphasis) {
    // A FLAGS line before any TRACK belongs to no track; other flags leave a track unmarked.
    write("flagged.cue", "FILE \"album.flac\" WAVE\n  FLAGS PRE\n"
                         "  TRACK 01 AUDIO\n    FLAGS DCP PRE\n    INDEX 00 00:00:00\n    INDEX 01 00:01:00\n"
                         "  TRACK 02 AUDIO\n    FLAGS DCP\n    PREGAP 00:02:00\n    INDEX 01 00:05:00\n"
                         "  TRACK 03 AUDIO\n    flags pre\n    INDEX 00 00:08:00\n    INDEX 01 00:09:00\n");
    std::string reason;
    auto rip = RipSource::create(path("flagged.cue"), reason);
    ASSERT_TRUE(rip) << reason;
    TableOfContents toc;
    ASSERT_EQ(rip->knownAtStart(toc), MediaState::Ready);
    EXPECT_EQ(toc.preemphasis, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(toc.trackStart, (std::vector<int>{75, kTrack2, kTrack3})) << "the flags move nothing";
}

TEST_F(RipTest, SeeksInACompressedFileLandOnTheExactSample) {
    std::string reason;
    auto rip = RipSource::create(path("album.flac.cue"), reason);
    ASSERT_TRUE(rip) << reason;
    std::vector<uint8_t> sector(3 * kSectorBytes);
    // Backwards, forwards past what a decoder reads ahead, across the PREGAP, and into the short end.
    for (int lsn : {900, 80, 300, 374, 523, 526, 760, 1122, 0, 1000}) {
        SCOPED_TRACE(lsn);
        ASSERT_TRUE(rip->read(lsn, 3, sector.data()));
        EXPECT_TRUE(sector == discBytes(lsn, lsn + 3));
    }
}

TEST_F(RipTest, SheetTitlesInCodePage932ComeWithTheTableOfContents) {
    std::string reason;
    auto rip = RipSource::create(path("tracks.cue"), reason);
    ASSERT_TRUE(rip) << reason;
    TableOfContents toc;
    rip->knownAtStart(toc);
    EXPECT_EQ(toc.text.title, "テスト盤");
    EXPECT_EQ(toc.text.trackTitles, (std::vector<std::string>{"序曲", "", "終曲"}));
}

TEST_F(RipTest, ATocSheetsCdTextBlockGivesItsTitlesAlsoInMsJis) {
    const std::string bin = path("disc.bin");
    write("disc.toc", "CD_DA\nCD_TEXT {\n  LANGUAGE_MAP { 0 : 105 }\n  LANGUAGE 0 {\n    TITLE \"" + sjis("テスト盤") + "\"\n  }\n}\n"
                      "TRACK AUDIO\nCD_TEXT {\n  LANGUAGE 0 {\n    TITLE \"First\"\n  }\n}\n"
                      "FILE \"" + bin + "\" 0 00:05:00\nTRACK AUDIO\nCD_TEXT {\n  LANGUAGE 0 {\n    TITLE \"Caf\xE9 \xE9t\xE9\"\n  }\n}\n"
                      "FILE \"" + bin + "\" 00:05:00 00:05:00\n");
    std::string reason;
    auto image = CdioSource::create(path("disc.toc"), reason);
    ASSERT_TRUE(image) << reason;
    TableOfContents toc;
    ASSERT_EQ(image->poll(toc), MediaState::Ready);
    EXPECT_EQ(toc.text.title, "テスト盤");
    EXPECT_EQ(toc.text.trackTitles, (std::vector<std::string>{"First", "Café été"})) << "Latin letters stay as they are";
}

TEST_F(RipTest, BadRipsAreRefusedWithAReasonAndADamagedFramePlaysAsSilence) {
    const std::string flac = [] {
        std::ifstream in(path("album.flac"), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    write("short.flac", flac.substr(0, flac.size() * 6 / 10));
    writeWav("dat.wav", std::string(48000 * 4, '\1'), 48000);
    write("huge.cue", std::string(10 << 20, ' '));
    const std::vector<uint8_t> noise = patternOf(0, 2);
    write("noise.flac", std::string(noise.begin(), noise.end()));
    write("empty.cue", "");
    write("data.cue", "FILE \"disc.bin\" BINARY\n TRACK 01 MODE1/2352\n INDEX 01 00:00:00\n");
    struct Case {
        const char *sheet;
        const char *fileLine;
        const char *reasonHas;
    } cases[] = {
        {"missing.cue", "FILE \"gone.flac\" WAVE", "見つかりません: gone.flac"},
        {"truncated.cue", "FILE \"short.flac\" WAVE", "途中で切れています"},
        {"noise.cue", "FILE \"noise.flac\" WAVE", ": noise.flac"},
        {"outside.cue", "FILE \"../../etc/passwd\" WAVE", "フォルダーの外"},
        {"device.cue", "FILE \"dev\" WAVE", "普通のファイルではありません"},
        {"rate.cue", "FILE \"dat.wav\" WAVE", "48000 Hz"},
        {"data.cue", nullptr, "音声トラックがありません"},
        {"huge.cue", nullptr, "大きすぎます"},
        {"empty.cue", nullptr, "トラックがありません"},
    };
    fs::create_symlink("/dev/zero", s_dir / "dev");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sheet);
        if (c.fileLine) write(c.sheet, std::string(c.fileLine) + "\n TRACK 01 AUDIO\n INDEX 01 00:00:00\n");
        std::string reason;
        EXPECT_FALSE(RipSource::create(path(c.sheet), reason));
        EXPECT_NE(reason.find(c.reasonHas), std::string::npos) << reason;
    }

    // Damage a few bytes in the middle: the play goes on, and what was lost is silent, not noise.
    std::string damaged = flac;
    for (size_t i = flac.size() / 2; i < flac.size() / 2 + 8; ++i) damaged[i] = static_cast<char>(~damaged[i]);
    write("damaged.flac", damaged);
    write("damaged.cue", "FILE \"damaged.flac\" WAVE\n TRACK 01 AUDIO\n INDEX 01 00:00:00\n");
    std::string reason;
    auto rip = RipSource::create(path("damaged.cue"), reason);
    ASSERT_TRUE(rip) << reason;
    TableOfContents toc;
    rip->knownAtStart(toc);
    std::vector<uint8_t> heard(static_cast<size_t>(toc.leadOut) * kSectorBytes);
    for (int lsn = 0; lsn < toc.leadOut; lsn += 20)
        ASSERT_TRUE(rip->read(lsn, std::min(20, toc.leadOut - lsn), heard.data() + static_cast<size_t>(lsn) * kSectorBytes));
    std::vector<uint8_t> original = discBytes(0, kSilence);
    const std::vector<uint8_t> rest = discBytes(kTrack2, kLeadOut);
    original.insert(original.end(), rest.begin(), rest.end());
    ASSERT_EQ(heard.size(), original.size());
    size_t differing = 0;
    for (size_t i = 0; i < heard.size(); ++i)
        if (heard[i] != original[i]) {
            ++differing;
            ASSERT_EQ(heard[i], 0) << "noise at byte " << i;
        }
    EXPECT_GT(differing, 0u);
    EXPECT_LT(differing, heard.size() / 4);
}

TEST(CueSheetTest, ReadsGapsAndTracksThatSpanFilesAndRefusesWhatNoDiscCouldBe) {
    std::string reason;
    // Track 2's INDEX 00 at the end of one file, its INDEX 01 in the next.
    auto sheet = CueSheet::parse("FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                 "TRACK 02 AUDIO\nINDEX 00 00:03:00\nPOSTGAP 00:01:00\nFILE b.wav WAVE\n"
                                 "INDEX 01 00:00:00\nTRACK 03 MODE1/2352\nINDEX 01 00:02:00\n", reason);
    ASSERT_TRUE(sheet) << reason;
    ASSERT_EQ(sheet->tracks.size(), 3u);
    EXPECT_EQ(sheet->tracks[1].file, 1);
    EXPECT_EQ(sheet->tracks[1].index0, -1) << "the gap in file a belongs to that file";
    auto layout = RipLayout::build(*sheet, {{0, 300}, {0, 400}}, reason);
    ASSERT_TRUE(layout) << reason;
    // a.wav 0-299, b.wav from 300: track 2's POSTGAP after its part (150-299 of b) before track 3.
    EXPECT_EQ(layout->toc.trackStart, (std::vector<int>{0, 300, 525}));
    EXPECT_EQ(layout->toc.dataTrack, (std::vector<bool>{false, false, true}));
    EXPECT_EQ(layout->toc.leadOut, 775);
    EXPECT_EQ(layout->spanAt(460).file, -1);
    EXPECT_EQ(layout->spanAt(525).fileSector, 150);

    EXPECT_FALSE(RipLayout::build(*sheet, {{0, 300}, {0, 100}}, reason)) << "INDEX past the file's end";
    for (const char *bad : {"TRACK 01 AUDIO\nINDEX 01 00:00:00\n", "FILE a WAVE\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n",
                            "FILE a WAVE\nTRACK 01 AUDIO\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n",
                            "FILE a WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 00:01:00\n",
                            "FILE a WAVE\nTRACK 01 AUDIO\nINDEX 00 00:02:00\nINDEX 01 00:01:00\n"}) {
        EXPECT_FALSE(CueSheet::parse(bad, reason)) << bad;
        EXPECT_FALSE(reason.empty());
    }
}

} // namespace
} // namespace platform
