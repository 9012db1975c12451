#include "platform/backends/SectorReader.h"

#include <algorithm>

namespace platform {

SectorReader::Outcome SectorReader::next(int lsn, int end, uint8_t *out) {
    int count = std::min(m_size, end - lsn);
    if (count <= 0) return {Step::Read, 0};
    if (m_source.read(lsn, count, out)) {
        m_failures = 0;
        m_size = std::min(kFullRead, m_size * 2); // back to full size step by step
        return {Step::Read, count};
    }
    if (++m_failures <= kRetries) {
        m_size = std::max(1, m_size / 2);
        return {Step::Retry, 0};
    }
    reset();
    int skipped = std::min(kSkipSectors, end - lsn);
    std::fill(out, out + static_cast<size_t>(skipped) * kSectorBytes, uint8_t{0});
    return {Step::Skip, skipped};
}

void SectorReader::reset() {
    m_size = kFullRead;
    m_failures = 0;
}

} // namespace platform
