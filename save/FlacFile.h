#pragma once

#include <FLAC/stream_encoder.h>
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

namespace save {

// One FLAC file written through libFLAC with its verify mode on (every frame decoded again and
// compared while encoding), into a file descriptor the caller opened. Used by one thread.
class FlacFile {
public:
    using Tags = std::vector<std::pair<QString, QString>>; // Vorbis comments, name and value

    FlacFile() = default;
    ~FlacFile();
    FlacFile(const FlacFile &) = delete;
    FlacFile &operator=(const FlacFile &) = delete;

    // Starts the stream: `frames` stereo frames follow; `cover` (JPEG or PNG bytes, or empty) goes
    // in as the front-cover picture. False when libFLAC refuses or the file cannot be written.
    bool begin(int fd, qint64 frames, const Tags &tags, const QByteArray &cover);
    // Encodes interleaved 16-bit stereo frames. False on a write error or a verify mismatch.
    bool write(const int16_t *interleaved, std::size_t frames);
    // Ends the stream, rewrites its header and syncs the file. False when any of it failed.
    bool finish();
    // errno of the write that failed (ENOSPC for a full disk), or 0 when libFLAC itself failed.
    int error() const { return m_errno; }

    // The MIME type of a cover's bytes: "image/jpeg", "image/png", or empty for anything else.
    static QString coverType(const QByteArray &bytes);

    // What a PICTURE block says of its image, read from the image's header (the cover was checked
    // to decode when it was kept; it is not decoded again here). All 0 when the header cannot be read.
    struct PictureSize {
        uint32_t width = 0, height = 0;
        uint32_t depth = 0;  // bits per pixel
        uint32_t colors = 0; // entries of an indexed image's palette; 0 for other images
        bool operator==(const PictureSize &) const = default;
    };
    static PictureSize pictureSize(const QByteArray &bytes);

private:
    static int writeAll(int fd, const uint8_t *bytes, std::size_t size);

    FLAC__StreamEncoder *m_encoder = nullptr;
    std::vector<FLAC__StreamMetadata *> m_metadata;
    std::vector<int32_t> m_wide;
    int m_fd = -1;
    int m_errno = 0;

    friend struct FlacCallbacks;
};

} // namespace save
