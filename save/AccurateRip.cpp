#include "save/AccurateRip.h"

#include <QCoreApplication>

namespace save {

namespace {

constexpr int kLeadIn = 150;
constexpr int kSectorsPerSecond = 75;
constexpr uint64_t kSkippedSamples = 5 * 588;
constexpr size_t kHeaderBytes = 13;
constexpr size_t kEntryBytes = 9;

uint32_t readLittleEndian(const uint8_t *bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

int digitSum(int number) {
    int sum = 0;
    for (; number > 0; number /= 10)
        sum += number % 10;
    return sum;
}

// The CDDB disc ID: from every track's start in whole seconds (lead-in included) and the playing
// time between the first track and the lead-out.
uint32_t freeDbId(const platform::TableOfContents &toc) {
    int startSum = 0;
    for (int start : toc.trackStart)
        startSum += digitSum((start + kLeadIn) / kSectorsPerSecond);
    const int seconds =
        (toc.leadOut + kLeadIn) / kSectorsPerSecond - (toc.trackStart.front() + kLeadIn) / kSectorsPerSecond;
    return uint32_t(startSum % 0xff) << 24 | uint32_t(seconds) << 8 | uint32_t(toc.trackCount());
}

} // namespace

std::optional<AccurateRipIds> accurateRipIds(const platform::TableOfContents &toc) {
    const int tracks = toc.trackCount();
    if (tracks == 0 || tracks > 99 || toc.trackStart.size() != size_t(tracks) ||
        toc.dataTrack.size() != size_t(tracks))
        return std::nullopt;
    AccurateRipIds ids;
    for (int i = 0; i < tracks; ++i) {
        if (toc.dataTrack[size_t(i)]) continue;
        const auto offset = uint32_t(toc.trackStart[size_t(i)]);
        ++ids.audioTracks;
        ids.id1 += offset;
        ids.id2 += std::max<uint32_t>(offset, 1) * uint32_t(ids.audioTracks);
    }
    if (ids.audioTracks == 0) return std::nullopt;
    ids.id1 += uint32_t(toc.leadOut);
    ids.id2 += uint32_t(toc.leadOut) * uint32_t(ids.audioTracks + 1);
    ids.freeDb = freeDbId(toc);
    return ids;
}

QString accurateRipPath(const AccurateRipIds &ids) {
    const auto hex = [](uint32_t value) { return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')); };
    const QString id1 = hex(ids.id1);
    return QStringLiteral("%1/%2/%3/dBAR-%4-%5-%6-%7.bin")
        .arg(id1[7])
        .arg(id1[6])
        .arg(id1[5])
        .arg(ids.audioTracks, 3, 10, QLatin1Char('0'))
        .arg(id1, hex(ids.id2), hex(ids.freeDb));
}

size_t accurateRipIndex(const platform::TableOfContents &toc, int track) {
    size_t index = 0;
    for (int before = toc.firstTrack; before < track; ++before)
        index += toc.isData(before) ? 0 : 1;
    return index;
}

TrackPlace accurateRipPlace(const platform::TableOfContents &toc, int track) {
    int firstAudio = toc.firstTrack;
    while (firstAudio < toc.lastTrack && toc.isData(firstAudio))
        ++firstAudio;
    int lastAudio = toc.lastTrack;
    while (lastAudio > toc.firstTrack && toc.isData(lastAudio))
        --lastAudio;
    const bool first = track == firstAudio;
    const bool last = track == lastAudio;
    if (first && last) return TrackPlace::Only;
    return first ? TrackPlace::First : last ? TrackPlace::Last : TrackPlace::Middle;
}

AccurateRipChecksum::AccurateRipChecksum(uint64_t samples, TrackPlace place) : m_last(samples) {
    if (place == TrackPlace::Only || place == TrackPlace::First) m_first = kSkippedSamples;
    if (place == TrackPlace::Only || place == TrackPlace::Last)
        m_last = samples > kSkippedSamples ? samples - kSkippedSamples : 0;
}

void AccurateRipChecksum::addWord(uint32_t word) {
    const uint64_t position = ++m_position;
    if (position < m_first || position > m_last) return;
    const uint64_t product = uint64_t(word) * position;
    m_v1 += product;
    m_v2High += product >> 32;
}

void AccurateRipChecksum::add(std::span<const uint8_t> bytes) {
    size_t at = 0;
    while (m_partialBytes > 0 && at < bytes.size()) {
        m_partial[m_partialBytes++] = bytes[at++];
        if (m_partialBytes == 4) {
            addWord(readLittleEndian(m_partial));
            m_partialBytes = 0;
        }
    }
    for (; at + 4 <= bytes.size(); at += 4)
        addWord(readLittleEndian(bytes.data() + at));
    while (at < bytes.size())
        m_partial[m_partialBytes++] = bytes[at++];
}

void AccurateRipChecksum::addFrames(const int16_t *interleaved, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i)
        addWord(uint32_t(uint16_t(interleaved[2 * i])) | uint32_t(uint16_t(interleaved[2 * i + 1])) << 16);
}

std::optional<std::vector<AccurateRipResponse>> readAccurateRipAnswer(std::span<const uint8_t> answer,
                                                                      const AccurateRipIds &ids) {
    const size_t responseBytes = kHeaderBytes + kEntryBytes * size_t(ids.audioTracks);
    if (answer.empty() || ids.audioTracks <= 0 || answer.size() % responseBytes != 0) return std::nullopt;
    std::vector<AccurateRipResponse> responses;
    for (size_t at = 0; at < answer.size(); at += responseBytes) {
        const uint8_t *header = answer.data() + at;
        const AccurateRipIds named{header[0], readLittleEndian(header + 1), readLittleEndian(header + 5),
                                   readLittleEndian(header + 9)};
        if (named != ids) return std::nullopt;
        AccurateRipResponse &response = responses.emplace_back();
        for (const uint8_t *entry = header + kHeaderBytes; entry < header + responseBytes;
             entry += kEntryBytes)
            response.push_back({entry[0], readLittleEndian(entry + 1), readLittleEndian(entry + 5)});
    }
    return responses;
}

AccurateRipVerdict accurateRipVerdict(const std::vector<AccurateRipResponse> &responses, size_t index,
                                      uint32_t v1, uint32_t v2) {
    AccurateRipVerdict verdict{AccurateRipVerdict::NotAccurate, 0};
    for (const AccurateRipResponse &response : responses) {
        if (index >= response.size()) continue;
        const AccurateRipEntry &entry = response[index];
        if (entry.checksum != v1 && entry.checksum != v2) continue;
        verdict.kind = AccurateRipVerdict::Accurate;
        verdict.confidence += entry.confidence;
    }
    return verdict;
}

QString verdictText(const AccurateRipVerdict &verdict) {
    switch (verdict.kind) {
    case AccurateRipVerdict::Accurate:
        return QCoreApplication::translate("AccurateRip", "一致 (信頼度 %1)").arg(verdict.confidence);
    case AccurateRipVerdict::NotAccurate:
        return QCoreApplication::translate("AccurateRip", "不一致");
    case AccurateRipVerdict::NotInDatabase:
        return QCoreApplication::translate("AccurateRip", "データベースにありません");
    case AccurateRipVerdict::Unreadable:
        return QCoreApplication::translate("AccurateRip", "応答を読めません");
    case AccurateRipVerdict::NotChecked:
        break;
    }
    return QCoreApplication::translate("AccurateRip", "照合していません");
}

} // namespace save
