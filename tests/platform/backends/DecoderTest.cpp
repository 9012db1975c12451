// Every container the decoder accepts, made from the same samples by Debian's encoders or by
// FFmpeg's own: the length, sequential play and random seeks must give the source's samples
// exactly. Then the faults a rip's files bring: a BINARY sheet beside a compressed file, a FLAC
// stream whose channel count changes, and lossy files named by a sheet.
#include "platform/backends/AudioDecoder.h"
#include "platform/backends/AudioOutput.h"
#include "platform/backends/ClockedOutput.h"
#include "platform/backends/DriveFactory.h"
#include "platform/SourceSwitch.h"
#include "platform/backends/ExtractionDrive.h"
#include "platform/backends/RipSource.h"
#include "tests/platform/backends/FfmpegEncode.h"
#include "tests/platform/backends/TestDisc.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr int kSourceFrames = 4 * AudioDecoder::kRate + 1234; // the last sector short, the last packet too

class DecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("tunewick-decoder-" + std::to_string(getpid()));
        fs::create_directories(s_dir);
        const std::vector<uint8_t> bytes = testing::patternOf(0, kSourceFrames / kFramesPerSector + 1);
        s_source.assign(bytes.begin(), bytes.begin() + kSourceFrames * 4);
        write("source.raw", s_source);
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static std::string path(const std::string &name) { return (s_dir / name).string(); }
    static void write(const std::string &name, const std::string &bytes) {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    static std::string readFile(const std::string &name) {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static bool run(const std::string &command) { return std::system(command.c_str()) == 0; }
    static std::string rawIn() {
        return "-t raw -r 44100 -e signed-integer -b 16 -c 2 '" + path("source.raw") + "'";
    }
    static std::string flacOf(const std::string &raw, const std::string &out, const std::string &options = "") {
        return "flac -s -f " + options + " --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 "
               "--sample-rate=44100 -o '" + path(out) + "' '" + path(raw) + "'";
    }

    static fs::path s_dir;
    static std::string s_source;
};

fs::path DecoderTest::s_dir;
std::string DecoderTest::s_source;

std::unique_ptr<AudioDecoder> openFile(const std::string &path, std::string &reason) {
    return AudioDecoder::open(path, fs::path(path).filename().string(), true, reason);
}

std::string decoded(AudioDecoder &decoder, long long frame, int count) {
    std::string out(static_cast<size_t>(count) * 4, '\0');
    decoder.read(frame, count, reinterpret_cast<uint8_t *>(out.data()));
    return out;
}

// Where two sample streams first differ, in frames, or -1.
long long firstDifference(const std::string &a, const std::string &b) {
    const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return at.first == a.end() && at.second == b.end() ? -1 : (at.first - a.begin()) / 4;
}

TEST_F(DecoderTest, EveryAcceptedContainerGivesTheSourcesLengthAndSamplesInOrderAndAfterSeeks) {
    using Make = std::function<std::string()>;
    auto ffmpeg = [](const char *file, const char *container, const char *encoder) {
        return Make([=] { return testing::encodeWithFfmpeg(s_source, path(file), container, encoder); });
    };
    auto tool = [](const std::string &command) { return Make([=] { return run(command) ? "" : command; }); };
    const struct {
        const char *file;
        Make make;
    } containers[] = {
        {"a.wav", ffmpeg("a.wav", "wav", "pcm_s16le")},
        {"a.w64", ffmpeg("a.w64", "w64", "pcm_s16le")},
        {"a.aiff", tool("sox " + rawIn() + " '" + path("a.aiff") + "'")},
        {"a.flac", tool(flacOf("source.raw", "a.flac"))},
        {"a.oga", tool(flacOf("source.raw", "a.oga", "--ogg"))},
        {"a.wv", tool("sox " + rawIn() + " '" + path("w.wav") + "' && wavpack -q -y '" + path("w.wav") + "' -o '" + path("a.wv") + "'")},
        {"a.tta", ffmpeg("a.tta", "tta", "tta")},
        {"a.m4a", ffmpeg("a.m4a", "ipod", "alac")},
        {"a.caf", ffmpeg("a.caf", "caf", "alac")},
        {"a.mkv", ffmpeg("a.mkv", "matroska", "flac")},
        {"pcm.mkv", ffmpeg("pcm.mkv", "matroska", "pcm_s16le")},
        {"alac.mkv", ffmpeg("alac.mkv", "matroska", "alac")},
    };
    std::mt19937 random(26);
    for (const auto &container : containers) {
        SCOPED_TRACE(container.file);
        ASSERT_EQ(container.make(), "");
        std::string reason;
        std::unique_ptr<AudioDecoder> decoder = openFile(path(container.file), reason);
        if (!decoder) {
            ADD_FAILURE() << reason;
            continue;
        }
        EXPECT_EQ(decoder->frames(), kSourceFrames);

        std::string played;
        for (long long at = 0; at < kSourceFrames; at += 5 * kFramesPerSector)
            played += decoded(*decoder, at, static_cast<int>(std::min<long long>(5 * kFramesPerSector, kSourceFrames - at)));
        EXPECT_EQ(firstDifference(played, s_source), -1);

        int wrong = 0;
        for (int read = 0; read < 150; ++read) {
            const long long at = std::uniform_int_distribution<long long>(0, kSourceFrames - 1)(random);
            const int count = static_cast<int>(std::min<long long>(kSourceFrames - at, 1 + random() % 2000));
            if (decoded(*decoder, at, count) != s_source.substr(static_cast<size_t>(at) * 4, static_cast<size_t>(count) * 4)) {
                if (++wrong <= 3) ADD_FAILURE() << "read of " << count << " from " << at;
            }
        }
        EXPECT_EQ(wrong, 0);
        // Past the end is silence.
        EXPECT_EQ(decoded(*decoder, kSourceFrames - 10, 20), s_source.substr((kSourceFrames - 10) * 4) + std::string(40, '\0'));
    }
}

// A sheet that calls a compressed file BINARY, by its own name or by a .bin name that only a
// re-encoded file answers to, plays the file's samples: nothing louder than the -20 dBFS tone.
TEST_F(DecoderTest, ABinarySheetBesideACompressedFilePlaysItsSamplesNotItsBytes) {
    constexpr int kPeak = 3277, kFrames = 3 * AudioDecoder::kRate;
    std::string tone(kFrames * 4, '\0');
    for (int i = 0; i < kFrames; ++i) {
        const auto value = static_cast<int16_t>(std::lround(kPeak * std::sin(2 * M_PI * 1000 * i / AudioDecoder::kRate)));
        for (int channel = 0; channel < 2; ++channel) std::memcpy(&tone[4 * i + 2 * channel], &value, 2);
    }
    write("tone.raw", tone);
    ASSERT_TRUE(run(flacOf("tone.raw", "album.flac")));
    ASSERT_TRUE(run("cp '" + path("album.flac") + "' '" + path("named.flac") + "'"));
    write("album.cue", "FILE \"album.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    write("named.cue", "FILE \"named.flac\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    for (const char *sheet : {"album.cue", "named.cue"}) {
        SCOPED_TRACE(sheet);
        std::string reason;
        std::shared_ptr<RipSource> rip = RipSource::create(path(sheet), reason);
        ASSERT_TRUE(rip) << reason;
        TableOfContents toc;
        rip->knownAtStart(toc);
        ASSERT_EQ(toc.leadOut, (kFrames + kFramesPerSector - 1) / kFramesPerSector);
        std::string heard(static_cast<size_t>(toc.leadOut) * kSectorBytes, '\0');
        ASSERT_TRUE(rip->read(0, toc.leadOut, reinterpret_cast<uint8_t *>(heard.data())));
        int peak = 0;
        for (size_t i = 0; i + 1 < heard.size(); i += 2) {
            int16_t sample;
            std::memcpy(&sample, &heard[i], 2);
            peak = std::max(peak, std::abs(static_cast<int>(sample)));
        }
        EXPECT_LE(peak, kPeak);
        EXPECT_EQ(heard.substr(0, tone.size()), tone);
    }
}

// Where FLAC frame `number` (fixed blocks of 4096 at 44.1 kHz, numbers below 128) begins in `flac`.
size_t flacFrameAt(const std::string &flac, int number) {
    for (size_t at = flac.find("\xFF\xF8\xC9"); at != std::string::npos; at = flac.find("\xFF\xF8\xC9", at + 1)) {
        if (at + 6 > flac.size() || static_cast<uint8_t>(flac[at + 4]) != number) continue;
        uint8_t crc = 0;
        for (size_t i = at; i < at + 5; ++i) {
            crc ^= static_cast<uint8_t>(flac[i]);
            for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
        }
        if (crc == static_cast<uint8_t>(flac[at + 5])) return at;
    }
    return std::string::npos;
}

// A stereo FLAC stream with one frame in mono and one in 24 bits spliced in: those frames' places
// are silent, every other sample is the source's, and nothing is read past a frame's buffers.
TEST_F(DecoderTest, AFlacFrameThatChangesChannelsOrSampleFormatPlaysAsSilence) {
    const std::string blocks = "--blocksize=4096 --no-seektable";
    std::string mono, wide;
    for (size_t i = 0; i < s_source.size(); i += 4) {
        mono += s_source.substr(i, 2);
        wide += std::string(1, '\0') + s_source.substr(i, 2) + std::string(1, '\0') + s_source.substr(i + 2, 2);
    }
    write("mono.raw", mono);
    write("wide.raw", wide);
    ASSERT_TRUE(run(flacOf("source.raw", "stereo.flac", blocks)));
    ASSERT_TRUE(run("flac -s -f " + blocks + " --force-raw-format --endian=little --sign=signed --channels=1 --bps=16 "
                    "--sample-rate=44100 -o '" + path("mono.flac") + "' '" + path("mono.raw") + "'"));
    ASSERT_TRUE(run("flac -s -f " + blocks + " --force-raw-format --endian=little --sign=signed --channels=2 --bps=24 "
                    "--sample-rate=44100 -o '" + path("wide.flac") + "' '" + path("wide.raw") + "'"));
    const std::string stereo = readFile("stereo.flac"), monoFlac = readFile("mono.flac"), wideFlac = readFile("wide.flac");
    auto frame = [](const std::string &flac, int number) {
        const size_t from = flacFrameAt(flac, number), to = flacFrameAt(flac, number + 1);
        EXPECT_TRUE(from != std::string::npos && to != std::string::npos) << number;
        return flac.substr(from, to - from);
    };
    const size_t at5 = flacFrameAt(stereo, 5), at6 = flacFrameAt(stereo, 6), at9 = flacFrameAt(stereo, 9), at10 = flacFrameAt(stereo, 10);
    ASSERT_NE(at10, std::string::npos);
    write("changing.flac", stereo.substr(0, at5) + frame(monoFlac, 5) + stereo.substr(at6, at9 - at6) + frame(wideFlac, 9) +
                               stereo.substr(at10));
    std::string expected = s_source;
    for (int silent : {5, 9}) std::fill_n(expected.begin() + silent * 4096 * 4, 4096 * 4, '\0');

    std::string reason;
    std::unique_ptr<AudioDecoder> decoder = openFile(path("changing.flac"), reason);
    ASSERT_TRUE(decoder) << reason;
    EXPECT_EQ(firstDifference(decoded(*decoder, 0, kSourceFrames), expected), -1);
    // Landing on a changed frame after a seek.
    EXPECT_EQ(firstDifference(decoded(*decoder, 9 * 4096 + 100, 5000), expected.substr((9 * 4096 + 100) * 4, 5000 * 4)), -1);
    EXPECT_EQ(firstDifference(decoded(*decoder, 5 * 4096 - 50, 200), expected.substr((5 * 4096 - 50) * 4, 200 * 4)), -1);
}

// A rip whose length only decoding it all tells (ALAC in Matroska) is measured away from the
// window's thread, through the program's own drive and switch: the drive it starts with measures
// on its worker (an event posted to the window's loop before the drive opens is handled while the
// drive still shows no disc), and a switch to it is checked on a thread of its own (the switch
// returns before the rip is known). A file that turns out not to play is said with its name; a
// cancelled measuring gives up at its next read.
TEST_F(DecoderTest, AMatroskaRipIsMeasuredAwayFromTheWindowThroughTheProgramsDriveAndSwitch) {
    constexpr int kSectors = 3 * 60 * kFramesPerSecond;
    const std::vector<uint8_t> samples = testing::patternOf(0, kSectors);
    ASSERT_EQ(testing::encodeWithFfmpeg(std::string(samples.begin(), samples.end()), path("long.mkv"), "matroska", "alac"), "");
    write("bad.flac", "not audio at all");
    for (const char *file : {"long.mkv", "bad.flac"})
        write(std::string(file) + ".cue", "FILE \"" + std::string(file) + "\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    setenv("TUNEWICK_AUDIO", "null", 1);
    std::string description;

    std::unique_ptr<CdDrive> rip = createDrive(path("long.mkv.cue"), description);
    DriveState seenByPostedEvent = DriveState::Stopped;
    QTimer::singleShot(0, [&] { seenByPostedEvent = rip->status().state; });
    std::string reason;
    ASSERT_TRUE(rip->open(reason)) << reason;
    QCoreApplication::processEvents();
    EXPECT_EQ(seenByPostedEvent, DriveState::NoDisc) << "the window's loop waited for the rip";
    ASSERT_TRUE(QTest::qWaitFor([&] { return rip->status().state == DriveState::Stopped; }, 60000));
    EXPECT_EQ(rip->toc().leadOut, kSectors);

    // The switch to it, from the demo disc: check() returns while the rip is being measured.
    std::unique_ptr<CdDrive> demo = createDrive("demo", description);
    std::atomic<int> answers{0};
    std::atomic<bool> playable{false};
    sourceSwitch()->check(path("long.mkv.cue"), [&](bool ok, const std::string &) {
        playable = ok;
        ++answers;
    });
    EXPECT_EQ(answers, 0) << "the switch measured the rip before it returned";
    EXPECT_FALSE(sourceSwitch()->putIn(path("long.mkv.cue"))) << "put in before it was known to play";
    ASSERT_TRUE(testing::eventually([&] { return answers == 1; }));
    EXPECT_TRUE(playable);
    EXPECT_TRUE(sourceSwitch()->putIn(path("long.mkv.cue")));

    std::unique_ptr<CdDrive> bad = createDrive(path("bad.flac.cue"), description);
    ASSERT_TRUE(bad->open(reason)) << reason;
    ASSERT_TRUE(testing::eventually([&] { return bad->status().state == DriveState::NoDrive; }));
    EXPECT_NE(bad->failure().find(": bad.flac"), std::string::npos) << bad->failure();
    setSourceSwitch(nullptr);

    const std::atomic<bool> cancelled{true};
    EXPECT_FALSE(AudioDecoder::open(path("long.mkv"), "long.mkv", true, reason, &cancelled));
}

// Lossy files are refused with their format named, whether FFmpeg's accepted containers hold them
// or not; a rip is never kept in them. A "%2" in the file's name is shown as it is, not replaced by
// the format's name.
TEST_F(DecoderTest, LossyFilesAreRefusedNamingTheirFormat) {
    const std::string second = s_source.substr(0, AudioDecoder::kRate * 4);
    const struct {
        const char *file, *container, *encoder, *named;
    } lossy[] = {
        {"a.mp3", "mp3", "libmp3lame", "MPEG audio layer"},
        {"a.ogg", "ogg", "libvorbis", "Vorbis"},
        {"a.m4a", "ipod", "aac", "AAC"},
    };
    for (const auto &file : lossy) {
        SCOPED_TRACE(file.file);
        const std::string name = std::string("lossy-%2-") + file.file;
        ASSERT_EQ(testing::encodeWithFfmpeg(second, path(name), file.container, file.encoder), "");
        std::string reason;
        EXPECT_FALSE(openFile(path(name), reason));
        EXPECT_NE(reason.find("CD のリッピングに使われる形式ではありません: " + name + " ("), std::string::npos) << reason;
        EXPECT_NE(reason.find(file.named), std::string::npos) << reason;
    }
}

} // namespace
} // namespace platform
