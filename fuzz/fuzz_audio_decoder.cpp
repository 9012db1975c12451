// A rip's audio file under arbitrary bytes, through the decoder that plays it (FFmpeg's demuxers
// and decoders with the placing of decoded frames around them).
//
// Each input is a file. Opening it, with the check of its end, must fail with a reason or give a
// length; then reads at the start, in the middle, across the end and back at the start again (a
// seek backwards) must fill what was asked without fault, however damaged the file is: a frame
// that changes channel count or sample format, a header that lies about the length, packets whose
// numbers jump or repeat.
#include "fuzz/FuzzSupport.h"
#include "platform/backends/FfmpegDecoder.h"

#include <QDir>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size > 64 * 1024) return -1;
    const QString path = QDir(fuzz::scratchFolder()).filePath(QStringLiteral("a.audio"));
    fuzz::writeBytes(path, fuzz::asText(data, size));
    std::string reason;
    std::unique_ptr<platform::AudioDecoder> decoder =
        platform::FfmpegDecoder::open(path.toStdString(), "a.audio", true, reason);
    if (!decoder) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    const long long frames = decoder->frames();
    FUZZ_CHECK(frames > 0);
    constexpr int kRead = 3000;
    std::vector<uint8_t> out(kRead * 4 + 4, 0xA5);
    for (long long at : {0LL, frames / 2, std::max(0LL, frames - kRead / 2), 0LL, frames / 3}) {
        decoder->read(at, kRead, out.data());
        FUZZ_CHECK(out[kRead * 4] == 0xA5); // nothing written past what was asked
    }
    return 0;
}
