#include "platform/backends/ClockedOutput.h"

#include <algorithm>
#include <thread>

namespace platform {

namespace {

constexpr uint32_t kWavHeaderBytes = 44;
constexpr uint32_t kHeaderEveryBytes = kSampleRate * kFrameBytes; // one second of sound

void putLe(uint8_t *at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

ClockedOutput::ClockedOutput(double speed, int bufferMs)
    : m_speed(speed), m_bufferFrames(kSampleRate * bufferMs / 1000),
      m_ring(static_cast<size_t>(m_bufferFrames) * kFrameBytes), m_anchor(Clock::now()) {}

void ClockedOutput::advance() {
    Clock::time_point now = Clock::now();
    if (m_queued == 0) {
        // Nothing queued: the clock of this run starts again with the next write. A run that had
        // played something out has run dry.
        if (m_playedSinceAnchor > 0) m_ranDry = true;
        m_anchor = now;
        m_playedSinceAnchor = 0;
        return;
    }
    double seconds = std::chrono::duration<double>(now - m_anchor).count();
    long long due = static_cast<long long>(seconds * kSampleRate * m_speed) - m_playedSinceAnchor;
    long long frames = std::min<long long>(due, queuedFrames());
    if (due > frames) m_ranDry = true;
    if (frames <= 0) return;
    playOut(static_cast<size_t>(frames) * kFrameBytes);
    m_playedSinceAnchor += frames;
    m_consumed += frames;
}

void ClockedOutput::playOut(size_t bytes) {
    size_t first = std::min(bytes, m_ring.size() - m_head);
    consume(m_ring.data() + m_head, first);
    if (bytes > first) consume(m_ring.data(), bytes - first);
    m_head = (m_head + bytes) % m_ring.size();
    m_queued -= bytes;
}

bool ClockedOutput::write(const uint8_t *data, int frames) {
    while (frames > 0) {
        std::unique_lock lock(m_mutex);
        advance();
        long space = m_bufferFrames - queuedFrames();
        if (space <= 0) {
            // Full: sleep until the clock has played out what this write still needs.
            int wanted = std::min(frames, periodFrames());
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::duration<double>(wanted / (kSampleRate * m_speed)));
            continue;
        }
        if (m_ranDry) ++m_gaps;
        m_ranDry = false;
        size_t bytes = static_cast<size_t>(std::min<long>(space, frames)) * kFrameBytes;
        size_t tail = (m_head + m_queued) % m_ring.size();
        size_t first = std::min(bytes, m_ring.size() - tail);
        std::copy(data, data + first, m_ring.begin() + static_cast<std::ptrdiff_t>(tail));
        std::copy(data + first, data + bytes, m_ring.begin());
        m_queued += bytes;
        data += bytes;
        frames -= static_cast<int>(bytes / kFrameBytes);
    }
    return true;
}

long ClockedOutput::delayFrames() {
    std::lock_guard lock(m_mutex);
    advance();
    return queuedFrames();
}

long ClockedOutput::availableFrames() {
    std::lock_guard lock(m_mutex);
    advance();
    return m_bufferFrames - queuedFrames();
}

long ClockedOutput::drop() {
    std::lock_guard lock(m_mutex);
    advance();
    long dropped = queuedFrames();
    m_head = m_queued = 0;
    m_ranDry = false;
    m_anchor = Clock::now();
    m_playedSinceAnchor = 0;
    return dropped;
}

long long ClockedOutput::consumedFrames() const {
    std::lock_guard lock(m_mutex);
    return m_consumed;
}

long long ClockedOutput::gaps() const {
    std::lock_guard lock(m_mutex);
    return m_gaps;
}

NullOutput::NullOutput(double speed, int bufferMs) : ClockedOutput(speed, bufferMs) {}

void NullOutput::keepChecksum(bool keep) {
    std::lock_guard lock(m_sumMutex);
    m_keepChecksum = keep;
}

uint64_t NullOutput::checksum() const {
    std::lock_guard lock(m_sumMutex);
    return m_checksum;
}

void NullOutput::keepCopy(bool keep) {
    std::lock_guard lock(m_sumMutex);
    m_keepCopy = keep;
}

std::vector<uint8_t> NullOutput::copy() const {
    std::lock_guard lock(m_sumMutex);
    return m_copy;
}

void NullOutput::consume(const uint8_t *data, size_t bytes) {
    std::lock_guard lock(m_sumMutex);
    if (m_keepChecksum)
        for (size_t i = 0; i < bytes; ++i)
            m_checksum = (m_checksum ^ data[i]) * 1099511628211ull;
    if (m_keepCopy) m_copy.insert(m_copy.end(), data, data + bytes);
}

WavOutput::WavOutput(const std::string &path, double speed) : ClockedOutput(speed), m_path(path) {
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        m_error = "cannot write " + path;
        return;
    }
    writeHeader();
}

WavOutput::~WavOutput() {
    if (!m_file) return;
    writeHeader();
    std::fclose(m_file);
}

void WavOutput::writeHeader() {
    uint8_t header[kWavHeaderBytes] = {'R', 'I', 'F', 'F', 0, 0, 0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
                                       ' ', 0,   0,   0,   0, 0, 0,   0,   0,   0,   0,   0,   0,   0,   0,
                                       0,   0,   0,   0,   0, 0, 'd', 'a', 't', 'a', 0,   0,   0,   0};
    putLe(header + 4, 36 + m_dataBytes, 4);
    putLe(header + 16, 16, 4);                        // size of the format chunk
    putLe(header + 20, 1, 2);                         // PCM
    putLe(header + 22, 2, 2);                         // channels
    putLe(header + 24, kSampleRate, 4);               // frames per second
    putLe(header + 28, kSampleRate * kFrameBytes, 4); // bytes per second
    putLe(header + 32, kFrameBytes, 2);               // bytes per frame
    putLe(header + 34, 16, 2);                        // bits per sample
    putLe(header + 40, m_dataBytes, 4);
    long end = std::ftell(m_file);
    std::fseek(m_file, 0, SEEK_SET);
    std::fwrite(header, 1, sizeof header, m_file);
    if (end > static_cast<long>(kWavHeaderBytes)) std::fseek(m_file, end, SEEK_SET);
    std::fflush(m_file);
    m_sinceHeader = 0;
}

void WavOutput::consume(const uint8_t *data, size_t bytes) {
    if (!m_file) return;
    // A RIFF file holds at most 4 GiB; past that (about 6.7 hours) the rest is not written.
    if (m_dataBytes + static_cast<uint64_t>(bytes) > 0xFFFFFFFFull - 36) return;
    std::fwrite(data, 1, bytes, m_file);
    m_dataBytes += static_cast<uint32_t>(bytes);
    m_sinceHeader += static_cast<uint32_t>(bytes);
    if (m_sinceHeader >= kHeaderEveryBytes) writeHeader();
}

} // namespace platform
