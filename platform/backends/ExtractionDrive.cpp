#include "platform/backends/ExtractionDrive.h"

#include "platform/Deemphasis.h"
#include "platform/Messages.h"
#include "platform/backends/SectorReader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <poll.h>
#include <utility>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<void (*)()> playStartObserver{nullptr};
std::atomic<void (*)()> discReadyObserver{nullptr};

struct Command {
    enum Kind { Play, Stop, Pause, Resume, Seek, Eject } kind;
    int sector = 0;
};

// What the UI thread reads: copied whole under the channel's mutex.
struct Snapshot {
    DriveState state = DriveState::NoDisc;
    int sector = 0;
    TableOfContents toc;     // the ready disc's; empty otherwise
    TableOfContents discToc; // the disc behind a software door that is open
    bool softDoorOpen = false;
    std::string failure; // the source's, once it has said it cannot be used
};

bool isReady(DriveState state) {
    return state == DriveState::Stopped || state == DriveState::Playing || state == DriveState::Paused;
}

bool isPlayable(const TableOfContents &toc, int sector) {
    if (toc.trackCount() == 0 || sector < toc.startOf(toc.firstTrack) || sector >= toc.leadOut) return false;
    return !toc.isData(toc.trackAt(sector));
}

} // namespace

// Shared by the drive (UI thread) and its worker; lives as long as either holds it.
struct ExtractionChannel {
    std::mutex mutex;
    std::condition_variable wake;     // a command came, or quit
    std::condition_variable finished; // the worker has ended
    std::deque<Command> commands;
    Snapshot snapshot;
    bool quit = false;
    bool done = false;
    // While the worker sleeps until its source's descriptor becomes readable: that descriptor;
    // the UI's status calls glance at it and set lookNow to wake the worker for a look.
    int quietFd = -1;
    bool lookNow = false;
};

namespace {

// The worker: everything here runs on the drive's own thread.
class Engine {
public:
    Engine(std::shared_ptr<ExtractionChannel> channel, std::shared_ptr<SectorSource> source,
           std::shared_ptr<AudioOutput> output, const ExtractionDrive::Options &options)
        : m_channel(std::move(channel)), m_source(std::move(source)), m_output(std::move(output)),
          m_options(options), m_reader(*m_source),
          m_ring(static_cast<size_t>(std::max(options.ringSectors, 2 * SectorReader::kSkipSectors)) *
                 kSectorBytes),
          m_readBuffer(static_cast<size_t>(SectorReader::kSkipSectors) * kSectorBytes) {
        m_media = m_source->knownAtStart(m_toc);
        if (m_media == MediaState::Ready) moveTo(m_toc.startOf(m_toc.firstTrack) * kFramesPerSector);
    }

    void run();

private:
    // --- commands ---
    std::optional<Command> nextCommand();
    void apply(const Command &command);
    void startPlay(long long frame);
    void halt(DriveState state); // stop or pause at the frame heard last
    void moveTo(long long frame);
    void eject();

    // --- playing ---
    void playStep();
    void readStep();
    void writeStep();
    bool waitForRoom();
    void drainStep();
    long long heardFrame();

    // --- the disc ---
    void refreshMedia();
    void publish();

    // --- the ring: whole frames, oldest at m_ringHead ---
    size_t ringFree() const { return m_ring.size() - m_ringBytes; }
    void ringPush(const uint8_t *data, size_t bytes);
    void ringClear() { m_ringHead = m_ringBytes = 0; }

    std::shared_ptr<ExtractionChannel> m_channel;
    std::shared_ptr<SectorSource> m_source;
    std::shared_ptr<AudioOutput> m_output;
    ExtractionDrive::Options m_options;
    SectorReader m_reader;
    std::vector<uint8_t> m_ring;
    size_t m_ringHead = 0;
    size_t m_ringBytes = 0;
    std::vector<uint8_t> m_readBuffer;
    TrackDeemphasis m_deemphasis;

    MediaState m_media = MediaState::NoDisc;
    TableOfContents m_toc;
    DriveState m_state = DriveState::Stopped;
    long long m_position = 0;    // frame, while stopped or paused
    int m_readCursor = 0;        // next sector to read
    int m_skipFrames = 0;        // frames of m_readCursor's sector before the play's first frame
    int m_playEnd = 0;           // first sector after the audio run being played
    long long m_handedFrame = 0; // next frame to hand to the output
    bool m_playJustStarted = false; // nothing of the present play has reached the output yet
    bool m_softDoorOpen = false;
    bool m_shownReady = false;  // whether the last published snapshot had a disc ready
    std::string m_failure;      // the source's reason when it says it cannot be used
    Clock::time_point m_softDoorCloses;
    Clock::time_point m_nextPoll;
    int m_quietFd = -1;     // the source's, while it has nothing to find until it becomes readable
    bool m_lookNow = false; // the UI saw the quiet descriptor readable
};

void Engine::run() {
    refreshMedia();
    publish();
    for (;;) {
        std::optional<Command> command = nextCommand();
        if (!command && m_channel->quit) break;
        if (command) {
            apply(*command);
        } else {
            Clock::time_point now = Clock::now();
            if (m_softDoorOpen && now >= m_softDoorCloses) {
                m_softDoorOpen = false;
                refreshMedia();
            }
            if (now >= m_nextPoll || std::exchange(m_lookNow, false)) refreshMedia();
            if (m_state == DriveState::Playing) playStep();
        }
        publish();
    }
    m_output->drop();
}

std::optional<Command> Engine::nextCommand() {
    std::unique_lock lock(m_channel->mutex);
    // While playing, the output's blocking write paces the loop; otherwise sleep until a command,
    // the next look at the disc, or the software door's closing. With no drive and a quiet source
    // there is no next look: sleep until a command or the UI's word that the source's descriptor
    // has become readable.
    if (m_state != DriveState::Playing) {
        const auto woken = [this] {
            return !m_channel->commands.empty() || m_channel->quit || m_channel->lookNow;
        };
        m_channel->quietFd = m_softDoorOpen ? -1 : m_quietFd;
        if (m_channel->quietFd >= 0) {
            m_channel->wake.wait(lock, woken);
        } else {
            Clock::time_point until = m_nextPoll;
            if (m_softDoorOpen) until = std::min(until, m_softDoorCloses);
            m_channel->wake.wait_until(lock, until, woken);
        }
        m_channel->quietFd = -1;
        m_lookNow = std::exchange(m_channel->lookNow, false);
    }
    if (m_channel->quit || m_channel->commands.empty()) return std::nullopt;
    Command command = m_channel->commands.front();
    m_channel->commands.pop_front();
    return command;
}

void Engine::apply(const Command &command) {
    switch (command.kind) {
    case Command::Play:
        if (m_softDoorOpen) {
            m_softDoorOpen = false;
            refreshMedia();
        }
        if (m_media == MediaState::Ready && isPlayable(m_toc, command.sector))
            startPlay(static_cast<long long>(command.sector) * kFramesPerSector);
        break;
    case Command::Stop:
        halt(DriveState::Stopped);
        break;
    case Command::Pause:
        if (m_state == DriveState::Playing) halt(DriveState::Paused);
        break;
    case Command::Resume:
        if (m_state == DriveState::Paused) startPlay(m_position);
        break;
    case Command::Seek:
        halt(DriveState::Stopped);
        if (m_media == MediaState::Ready) moveTo(static_cast<long long>(command.sector) * kFramesPerSector);
        break;
    case Command::Eject:
        eject();
        break;
    }
}

void Engine::startPlay(long long frame) {
    m_output->drop();
    ringClear();
    m_reader.reset();
    int sector = static_cast<int>(frame / kFramesPerSector);
    m_readCursor = sector;
    m_skipFrames = static_cast<int>(frame % kFramesPerSector);
    m_playEnd = m_toc.audioEndFrom(m_toc.trackAt(sector));
    m_handedFrame = frame;
    m_position = frame;
    m_state = DriveState::Playing;
    m_playJustStarted = true;
}

void Engine::halt(DriveState state) {
    if (m_state == DriveState::Playing) {
        // What the output drops was never heard: the play stands at the frame after the last heard.
        long dropped = m_output->drop();
        m_position = std::max(m_position, m_handedFrame - dropped);
        ringClear();
    }
    m_state = state;
}

void Engine::moveTo(long long frame) {
    m_position = frame;
    m_state = DriveState::Stopped;
}

void Engine::eject() {
    halt(DriveState::Stopped);
    if (m_source->hasDoor()) {
        // The reader has stopped, so the source may let go of its handle.
        m_source->eject();
        refreshMedia();
        return;
    }
    m_softDoorOpen = true;
    m_softDoorCloses = Clock::now() + std::chrono::milliseconds(m_options.doorMs);
    m_media = MediaState::TrayOpen;
}

void Engine::playStep() {
    bool canRead = m_readCursor < m_playEnd &&
                   ringFree() >= static_cast<size_t>(SectorReader::kSkipSectors) * kSectorBytes;
    if (m_ringBytes > 0 && (!canRead || m_output->availableFrames() >= m_output->periodFrames())) {
        if (waitForRoom()) writeStep();
    } else if (canRead)
        readStep();
    else
        drainStep();
}

void Engine::readStep() {
    SectorReader::Outcome outcome = m_reader.next(m_readCursor, m_playEnd, m_readBuffer.data());
    if (outcome.step != SectorReader::Step::Read) {
        // A failing read may mean the disc has gone: look before going on.
        refreshMedia();
        if (m_state != DriveState::Playing || outcome.step == SectorReader::Step::Retry) return;
    }
    size_t skip = static_cast<size_t>(m_skipFrames) * kFrameBytes;
    ringPush(m_readBuffer.data() + skip, static_cast<size_t>(outcome.sectors) * kSectorBytes - skip);
    m_skipFrames = 0;
    m_readCursor += outcome.sectors;
}

void Engine::writeStep() {
    size_t contiguous = std::min(m_ringBytes, m_ring.size() - m_ringHead);
    int frames = static_cast<int>(
        std::min<size_t>(contiguous / kFrameBytes, static_cast<size_t>(m_output->periodFrames())));
    m_deemphasis.apply(m_toc, m_handedFrame, m_ring.data() + m_ringHead, frames, deemphasisEnabled());
    if (!m_output->write(m_ring.data() + m_ringHead, frames)) {
        // The output has failed for good: stop where the sound stopped rather than pretend to play.
        halt(DriveState::Stopped);
        return;
    }
    m_ringHead = (m_ringHead + static_cast<size_t>(frames) * kFrameBytes) % m_ring.size();
    m_ringBytes -= static_cast<size_t>(frames) * kFrameBytes;
    m_handedFrame += frames;
    if (m_playJustStarted) {
        m_playJustStarted = false;
        if (auto observer = playStartObserver.load(std::memory_order_relaxed)) observer();
    }
}

// Waits until the output has room for the next write, on the channel rather than in a blocking
// write, so that a command (a stop, a new play) is taken at once instead of up to a period later.
// False when a command came first.
bool Engine::waitForRoom() {
    long wanted = std::min<long>(static_cast<long>(m_ringBytes / kFrameBytes), m_output->periodFrames());
    long missing = wanted - m_output->availableFrames();
    if (missing <= 0) return true;
    auto wait = std::chrono::microseconds(missing * 1000000LL / kSampleRate + 1000);
    std::unique_lock lock(m_channel->mutex);
    return !m_channel->wake.wait_for(lock, wait,
                                     [this] { return !m_channel->commands.empty() || m_channel->quit; });
}

void Engine::drainStep() {
    m_output->flush();
    long delay = m_output->delayFrames();
    if (delay <= 0) {
        // Played to the end of the audio run: stand on its last sector, as a drive does.
        m_state = DriveState::Stopped;
        m_position = static_cast<long long>(m_playEnd - 1) * kFramesPerSector;
        return;
    }
    long waitFrames = std::min<long>(delay, m_output->periodFrames());
    auto wait = std::chrono::microseconds(waitFrames * 1000000LL / kSampleRate + 1000);
    std::unique_lock lock(m_channel->mutex);
    m_channel->wake.wait_for(lock, wait, [this] { return !m_channel->commands.empty() || m_channel->quit; });
}

long long Engine::heardFrame() {
    return std::max(m_position, m_handedFrame - m_output->delayFrames());
}

void Engine::refreshMedia() {
    m_nextPoll = Clock::now() + std::chrono::milliseconds(m_options.pollMs);
    if (m_softDoorOpen) return;
    TableOfContents toc;
    MediaState media = m_source->poll(toc);
    m_failure = media == MediaState::NoDrive ? m_source->failure() : std::string();
    m_quietFd = media == MediaState::NoDrive ? m_source->quietUntilReadable() : -1;
    if (media != MediaState::Ready) {
        if (m_state != DriveState::Stopped) halt(DriveState::Stopped);
        m_media = media;
        m_toc = {};
        return;
    }
    // A disc is told by its table of contents: the drive's media-changed flag is shared by every
    // process and says nothing about which disc is in.
    bool sameDisc = m_media == MediaState::Ready && toc == m_toc;
    m_media = MediaState::Ready;
    if (sameDisc) return;
    halt(DriveState::Stopped);
    m_toc = toc;
    moveTo(static_cast<long long>(toc.startOf(toc.firstTrack)) * kFramesPerSector);
}

void Engine::publish() {
    bool ready = m_media == MediaState::Ready && !m_softDoorOpen;
    if (ready && !m_shownReady)
        if (auto observer = discReadyObserver.load(std::memory_order_relaxed)) observer();
    m_shownReady = ready;
    Snapshot next;
    next.softDoorOpen = m_softDoorOpen;
    next.failure = m_failure;
    if (m_softDoorOpen) next.discToc = m_toc; // the disc stays behind a software door
    switch (m_media) {
    case MediaState::NoDrive:
        next.state = DriveState::NoDrive;
        break;
    case MediaState::TrayOpen:
        next.state = DriveState::TrayOpen;
        break;
    case MediaState::NoDisc:
        next.state = DriveState::NoDisc;
        break;
    case MediaState::Ready:
        next.state = m_state;
        next.toc = m_toc;
        long long frame = m_state == DriveState::Playing ? heardFrame() : m_position;
        next.sector = static_cast<int>(frame / kFramesPerSector);
        break;
    }
    std::lock_guard lock(m_channel->mutex);
    // A queued command has already set what the UI should see; the worker's older view must not
    // overwrite it before the command has been applied.
    if (m_channel->commands.empty()) m_channel->snapshot = std::move(next);
}

void Engine::ringPush(const uint8_t *data, size_t bytes) {
    bytes = std::min(bytes, ringFree());
    size_t tail = (m_ringHead + m_ringBytes) % m_ring.size();
    size_t first = std::min(bytes, m_ring.size() - tail);
    std::copy(data, data + first, m_ring.begin() + static_cast<std::ptrdiff_t>(tail));
    std::copy(data + first, data + bytes, m_ring.begin());
    m_ringBytes += bytes;
}

} // namespace

void setPlayStartObserver(void (*observer)()) { playStartObserver.store(observer); }

void setDiscReadyObserver(void (*observer)()) { discReadyObserver.store(observer); }

ExtractionDrive::ExtractionDrive(SourceMaker makeSource, std::shared_ptr<AudioOutput> output, Options options)
    : m_makeSource(std::move(makeSource)), m_output(std::move(output)), m_options(options) {}

ExtractionDrive::ExtractionDrive(SourceMaker makeSource, std::shared_ptr<AudioOutput> output)
    : ExtractionDrive(std::move(makeSource), std::move(output), Options{}) {}

ExtractionDrive::~ExtractionDrive() {
    close();
    // A worker still stuck in a read owns what it uses and ends on its own.
    if (m_lingeringWorker.joinable()) m_lingeringWorker.detach();
}

bool ExtractionDrive::open(std::string &reason) {
    if (m_channel) return true;
    if (m_lingering) {
        std::unique_lock lock(m_lingering->mutex);
        if (!m_lingering->done) {
            reason = message(QT_TRANSLATE_NOOP("platform", "ﾄﾞﾗｲﾌﾞが読み込みを終えていません: しばらくしてからやり直してください"));
            return false;
        }
        lock.unlock();
        m_lingeringWorker.join();
        m_lingering.reset();
    }
    std::shared_ptr<SectorSource> source = m_makeSource(reason);
    if (!source) return false;
    auto channel = std::make_shared<ExtractionChannel>();
    auto engine = std::make_shared<Engine>(channel, source, m_output, m_options);
    // Until the worker has looked, show what the source knew already (an image's contents).
    TableOfContents known;
    if (source->knownAtStart(known) == MediaState::Ready) {
        channel->snapshot.state = DriveState::Stopped;
        channel->snapshot.sector = known.startOf(known.firstTrack);
        channel->snapshot.toc = known;
    }
    m_softDoor = !source->hasDoor();
    m_source = source;
    m_worker = std::thread([engine, channel] {
        engine->run();
        std::lock_guard lock(channel->mutex);
        channel->done = true;
        channel->finished.notify_all();
    });
    m_channel = channel;
    return true;
}

void ExtractionDrive::close() {
    if (!m_channel) return;
    m_source->cancel();
    m_source.reset();
    std::unique_lock lock(m_channel->mutex);
    m_channel->quit = true;
    m_channel->wake.notify_all();
    bool done = m_channel->finished.wait_for(lock, std::chrono::milliseconds(m_options.closeWaitMs),
                                             [this] { return m_channel->done; });
    lock.unlock();
    if (done) {
        m_worker.join();
    } else {
        if (m_lingeringWorker.joinable()) m_lingeringWorker.detach();
        m_lingeringWorker = std::move(m_worker);
        m_lingering = m_channel;
    }
    m_channel.reset();
}

DriveStatus ExtractionDrive::status() const {
    if (!m_channel) return {DriveState::NoDrive, 0};
    std::lock_guard lock(m_channel->mutex);
    wakeWorkerOnNews();
    return {m_channel->snapshot.state, m_channel->snapshot.sector};
}

// The worker sleeps while only its source's descriptor can bring news (no drive plugged in); a
// glance at the descriptor, which never blocks, wakes it when there is some. The source, and with
// it the descriptor, lives while the drive is open. Channel locked.
void ExtractionDrive::wakeWorkerOnNews() const {
    if (m_channel->quietFd < 0 || m_channel->lookNow) return;
    pollfd watch{m_channel->quietFd, POLLIN, 0};
    if (::poll(&watch, 1, 0) == 0) return;
    m_channel->lookNow = true;
    m_channel->wake.notify_all();
}

std::string ExtractionDrive::failure() const {
    if (!m_channel) return {};
    std::lock_guard lock(m_channel->mutex);
    return m_channel->snapshot.failure;
}

TableOfContents ExtractionDrive::toc() const {
    if (!m_channel) return {};
    std::lock_guard lock(m_channel->mutex);
    return m_channel->snapshot.toc;
}

bool ExtractionDrive::play(int sector) {
    if (!m_channel) return false;
    std::lock_guard lock(m_channel->mutex);
    Snapshot &shown = m_channel->snapshot;
    // A software door closes at play and the disc behind it plays.
    const TableOfContents &toc = shown.softDoorOpen ? shown.discToc : shown.toc;
    if (!(isReady(shown.state) || shown.softDoorOpen) || !isPlayable(toc, sector)) return false;
    shown.toc = toc;
    shown.softDoorOpen = false;
    shown.state = DriveState::Playing;
    shown.sector = sector;
    m_channel->commands.push_back({Command::Play, sector});
    m_channel->wake.notify_all();
    return true;
}

bool ExtractionDrive::stop() {
    if (!m_channel) return false;
    std::lock_guard lock(m_channel->mutex);
    if (!isReady(m_channel->snapshot.state)) return false;
    m_channel->snapshot.state = DriveState::Stopped;
    m_channel->commands.push_back({Command::Stop});
    m_channel->wake.notify_all();
    return true;
}

bool ExtractionDrive::pause() {
    if (!m_channel) return false;
    std::lock_guard lock(m_channel->mutex);
    if (m_channel->snapshot.state != DriveState::Playing) return false;
    m_channel->snapshot.state = DriveState::Paused;
    m_channel->commands.push_back({Command::Pause});
    m_channel->wake.notify_all();
    return true;
}

bool ExtractionDrive::resume() {
    if (!m_channel) return false;
    std::lock_guard lock(m_channel->mutex);
    if (m_channel->snapshot.state != DriveState::Paused) return false;
    m_channel->snapshot.state = DriveState::Playing;
    m_channel->commands.push_back({Command::Resume});
    m_channel->wake.notify_all();
    return true;
}

bool ExtractionDrive::seek(int sector) {
    if (!m_channel) return false;
    std::lock_guard lock(m_channel->mutex);
    Snapshot &shown = m_channel->snapshot;
    const TableOfContents &toc = shown.toc;
    if (!isReady(shown.state) || sector < toc.startOf(toc.firstTrack) || sector >= toc.leadOut) return false;
    shown.state = DriveState::Stopped;
    shown.sector = sector;
    m_channel->commands.push_back({Command::Seek, sector});
    m_channel->wake.notify_all();
    return true;
}

bool ExtractionDrive::eject() {
    if (!m_channel) return false;
    std::lock_guard lock(m_channel->mutex);
    Snapshot &shown = m_channel->snapshot;
    if (m_softDoor && !shown.softDoorOpen) {
        shown.softDoorOpen = true;
        shown.discToc = shown.toc;
    }
    shown.state = DriveState::TrayOpen;
    shown.sector = 0;
    shown.toc = {};
    m_channel->commands.push_back({Command::Eject});
    m_channel->wake.notify_all();
    return true;
}

} // namespace platform
