#include "platform/backends/MemorySource.h"

namespace platform {

MemorySource::MemorySource(TableOfContents toc, Render render, std::string name)
    : m_toc(std::move(toc)), m_render(std::move(render)), m_name(std::move(name)) {}

MediaState MemorySource::poll(TableOfContents &toc) {
    std::lock_guard lock(m_mutex);
    ++m_polls;
    if (!m_present) return MediaState::NoDisc;
    toc = m_toc;
    return MediaState::Ready;
}

MediaState MemorySource::knownAtStart(TableOfContents &toc) const {
    std::lock_guard lock(m_mutex);
    if (!m_present) return MediaState::NoDisc;
    toc = m_toc;
    return MediaState::Ready;
}

bool MemorySource::read(int lsn, int count, uint8_t *out) {
    std::unique_lock lock(m_mutex);
    ++m_blocked;
    m_released.wait(lock, [this] { return !m_held; });
    --m_blocked;
    bool ok = m_present && lsn >= 0 && count > 0 && lsn + count <= m_toc.leadOut;
    if (ok && m_failNext > 0) {
        --m_failNext;
        ok = false;
    }
    if (ok && lsn < m_failTo && lsn + count > m_failFrom) ok = false;
    // The log is for tests; a demo disc playing for days must not grow it without end.
    if (m_reads.size() >= 100000) m_reads.erase(m_reads.begin(), m_reads.begin() + 50000);
    m_reads.push_back({lsn, count, ok});
    if (!ok) return false;
    Render render = m_render;
    lock.unlock();
    for (int i = 0; i < count; ++i)
        render(lsn + i, out + static_cast<size_t>(i) * kSectorBytes);
    return true;
}

void MemorySource::failSectors(int from, int to) {
    std::lock_guard lock(m_mutex);
    m_failFrom = from;
    m_failTo = to;
}

void MemorySource::failNextReads(int count) {
    std::lock_guard lock(m_mutex);
    m_failNext = count;
}

void MemorySource::clearFaults() {
    std::lock_guard lock(m_mutex);
    m_failFrom = m_failTo = m_failNext = 0;
}

void MemorySource::hold() {
    std::lock_guard lock(m_mutex);
    m_held = true;
}

void MemorySource::release() {
    {
        std::lock_guard lock(m_mutex);
        m_held = false;
    }
    m_released.notify_all();
}

int MemorySource::blockedReads() const {
    std::lock_guard lock(m_mutex);
    return m_blocked;
}

void MemorySource::pullDisc() {
    std::lock_guard lock(m_mutex);
    m_present = false;
}

void MemorySource::insert(TableOfContents toc) {
    std::lock_guard lock(m_mutex);
    m_toc = std::move(toc);
    m_present = true;
}

std::vector<MemorySource::ReadCall> MemorySource::reads() const {
    std::lock_guard lock(m_mutex);
    return m_reads;
}

int MemorySource::pollCount() const {
    std::lock_guard lock(m_mutex);
    return m_polls;
}

} // namespace platform
