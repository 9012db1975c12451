// Every container the decoder accepts, made from the same samples by Debian's encoders or by
// FFmpeg's own: the length, sequential play and random seeks must give the source's samples
// exactly. Then the faults a rip's files bring: a BINARY sheet beside a compressed file, a FLAC
// stream whose channel count changes, and lossy files named by a sheet.
#include "platform/backends/AudioDecoder.h"
#include "platform/backends/AudioOutput.h"
#include "platform/backends/RipSource.h"
#include "tests/platform/backends/FfmpegEncode.h"
#include "tests/platform/backends/TestDisc.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>

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

} // namespace
} // namespace platform
