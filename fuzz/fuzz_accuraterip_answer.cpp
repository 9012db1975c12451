// AccurateRip answers: the bytes the network gives, read for the disc their first header names.
//
// Input: the answer's bytes. The disc asked for is the one the first 13 bytes name (a header of a
// different disc is refused, so this reaches the entries). An answer that reads holds whole
// responses for that disc and nothing else, and a verdict on any track is one of "accurate" or "not".
#include "fuzz/FuzzSupport.h"
#include "save/AccurateRip.h"

namespace {

constexpr std::size_t kMaxInput = 64 * 1024;

uint32_t le32(const uint8_t *b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size < 13 || size > kMaxInput) return -1;
    const save::AccurateRipIds ids{data[0], le32(data + 1), le32(data + 5), le32(data + 9)};
    const auto responses = save::readAccurateRipAnswer({data, size}, ids);
    if (!responses) return 0;
    FUZZ_CHECK(ids.audioTracks > 0);
    FUZZ_CHECK(responses->size() * (13 + 9 * std::size_t(ids.audioTracks)) == size);
    for (const save::AccurateRipResponse &response : *responses)
        FUZZ_CHECK(response.size() == std::size_t(ids.audioTracks));
    const save::AccurateRipVerdict verdict =
        save::accurateRipVerdict(*responses, data[1] % ids.audioTracks, le32(data + 1), 0);
    FUZZ_CHECK(verdict.kind == save::AccurateRipVerdict::Accurate ||
               verdict.kind == save::AccurateRipVerdict::NotAccurate);
    return 0;
}
