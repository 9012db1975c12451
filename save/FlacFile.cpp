#include "save/FlacFile.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <cerrno>
#include <unistd.h>

namespace save {

constexpr unsigned kCompression = 5; // libFLAC's default level: the size of `flac -5` at its speed

struct FlacCallbacks {
    static FLAC__StreamEncoderWriteStatus write(const FLAC__StreamEncoder *, const FLAC__byte buffer[],
                                                size_t bytes, uint32_t, uint32_t, void *data) {
        auto *file = static_cast<FlacFile *>(data);
        if (FlacFile::writeAll(file->m_fd, buffer, bytes) == 0) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
        file->m_errno = errno;
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    static FLAC__StreamEncoderSeekStatus seek(const FLAC__StreamEncoder *, FLAC__uint64 offset, void *data) {
        auto *file = static_cast<FlacFile *>(data);
        if (lseek(file->m_fd, static_cast<off_t>(offset), SEEK_SET) >= 0)
            return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
        file->m_errno = errno;
        return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
    static FLAC__StreamEncoderTellStatus tell(const FLAC__StreamEncoder *, FLAC__uint64 *offset, void *data) {
        const off_t at = lseek(static_cast<FlacFile *>(data)->m_fd, 0, SEEK_CUR);
        if (at < 0) return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
        *offset = static_cast<FLAC__uint64>(at);
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }
};

FlacFile::~FlacFile() {
    if (m_encoder) FLAC__stream_encoder_delete(m_encoder);
    for (FLAC__StreamMetadata *block : m_metadata)
        FLAC__metadata_object_delete(block);
}

int FlacFile::writeAll(int fd, const uint8_t *bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return -1;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

QString FlacFile::coverType(const QByteArray &bytes) {
    if (bytes.startsWith("\xFF\xD8\xFF")) return "image/jpeg";
    if (bytes.startsWith("\x89PNG\r\n\x1A\n")) return "image/png";
    return {};
}

namespace {

uint32_t bigEndian(const QByteArray &bytes, qsizetype at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

// A JPEG's size and components are in its frame header (SOF0 to SOF15; C4, C8 and CC are other
// segments), which comes before the first scan.
FlacFile::PictureSize jpegSize(const QByteArray &bytes) {
    qsizetype at = 2;
    while (at + 4 <= bytes.size() && static_cast<unsigned char>(bytes.at(at)) == 0xFF) {
        const uint32_t marker = static_cast<unsigned char>(bytes.at(at + 1));
        if (marker == 0xFF) { // fill bytes before a marker
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;
        const uint32_t length = bigEndian(bytes, at + 2, 2);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && length >= 8 && at + 10 <= bytes.size())
            return {bigEndian(bytes, at + 7, 2), bigEndian(bytes, at + 5, 2),
                    bigEndian(bytes, at + 4, 1) * bigEndian(bytes, at + 9, 1), 0};
        if (length < 2) break;
        at += 2 + length;
    }
    return {};
}

// A PNG's IHDR chunk comes first; an indexed image's palette (PLTE) comes before its data.
FlacFile::PictureSize pngSize(const QByteArray &bytes) {
    if (bytes.size() < 29 || bytes.mid(12, 4) != "IHDR") return {};
    const uint32_t bitDepth = bigEndian(bytes, 24, 1);
    const uint32_t colorType = bigEndian(bytes, 25, 1);
    static const uint32_t kSamplesOf[] = {1, 0, 3, 1, 2, 0, 4}; // by colour type: grey, RGB, palette, ...
    // The bit depths each colour type allows, as bits: grey 1-16, palette 1-8, the others 8 or 16.
    static const uint32_t kDepthsOf[] = {0x10116, 0, 0x10100, 0x116, 0x10100, 0, 0x10100};
    if (colorType > 6 || kSamplesOf[colorType] == 0 || bitDepth > 16 ||
        !(kDepthsOf[colorType] >> bitDepth & 1))
        return {};
    FlacFile::PictureSize size{bigEndian(bytes, 16, 4), bigEndian(bytes, 20, 4),
                               bitDepth * kSamplesOf[colorType], 0};
    if (colorType != 3) return size;
    size.depth = 24; // palette entries are 8-bit RGB whatever the index's depth
    for (qsizetype at = 8; at + 8 <= bytes.size();) {
        const uint32_t length = bigEndian(bytes, at, 4);
        const QByteArray type = bytes.mid(at + 4, 4);
        if (type == "PLTE" && length % 3 == 0 && length <= 256 * 3) size.colors = length / 3;
        if (type == "PLTE" || type == "IDAT" || length > uint32_t(bytes.size())) break;
        at += 12 + qsizetype(length);
    }
    return size;
}

} // namespace

FlacFile::PictureSize FlacFile::pictureSize(const QByteArray &bytes) {
    const QString type = coverType(bytes);
    if (type == QLatin1String("image/jpeg")) return jpegSize(bytes);
    if (type == QLatin1String("image/png")) return pngSize(bytes);
    return {};
}

bool FlacFile::begin(int fd, qint64 frames, const Tags &tags, const QByteArray &cover) {
    m_fd = fd;
    m_encoder = FLAC__stream_encoder_new();
    if (!m_encoder) return false;
    FLAC__stream_encoder_set_verify(m_encoder, true);
    FLAC__stream_encoder_set_compression_level(m_encoder, kCompression);
    FLAC__stream_encoder_set_channels(m_encoder, 2);
    FLAC__stream_encoder_set_bits_per_sample(m_encoder, 16);
    FLAC__stream_encoder_set_sample_rate(m_encoder, 44100);
    FLAC__stream_encoder_set_total_samples_estimate(m_encoder, static_cast<FLAC__uint64>(frames));

    FLAC__StreamMetadata *comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    m_metadata.push_back(comments);
    for (const auto &[name, value] : tags) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name.toUtf8().constData(),
                                                                            value.toUtf8().constData()) ||
            !FLAC__metadata_object_vorbiscomment_append_comment(comments, entry, false))
            return false;
    }
    const QString type = coverType(cover);
    if (!type.isEmpty()) {
        FLAC__StreamMetadata *picture = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
        m_metadata.push_back(picture);
        picture->data.picture.type = FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER;
        const PictureSize size = pictureSize(cover);
        picture->data.picture.width = size.width;
        picture->data.picture.height = size.height;
        picture->data.picture.depth = size.depth;
        picture->data.picture.colors = size.colors;
        QByteArray mime = type.toLatin1();
        FLAC__byte empty[] = "";
        if (!FLAC__metadata_object_picture_set_mime_type(picture, mime.data(), true) ||
            !FLAC__metadata_object_picture_set_description(picture, empty, true) ||
            !FLAC__metadata_object_picture_set_data(
                picture, reinterpret_cast<FLAC__byte *>(const_cast<char *>(cover.data())),
                static_cast<FLAC__uint32>(cover.size()), true))
            return false;
    }
    FLAC__StreamMetadata *padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
    padding->length = 4096; // room to edit tags later without rewriting the file
    m_metadata.push_back(padding);
    FLAC__stream_encoder_set_metadata(m_encoder, m_metadata.data(), static_cast<uint32_t>(m_metadata.size()));
    return FLAC__stream_encoder_init_stream(m_encoder, &FlacCallbacks::write, &FlacCallbacks::seek,
                                            &FlacCallbacks::tell, nullptr,
                                            this) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
}

bool FlacFile::write(const int16_t *interleaved, std::size_t frames) {
    m_wide.resize(frames * 2);
    for (std::size_t i = 0; i < frames * 2; ++i)
        m_wide[i] = interleaved[i];
    return FLAC__stream_encoder_process_interleaved(m_encoder, m_wide.data(), static_cast<uint32_t>(frames));
}

bool FlacFile::finish() {
    const bool encoded = FLAC__stream_encoder_finish(m_encoder);
    if (!encoded) return false;
    if (fsync(m_fd) != 0) {
        m_errno = errno;
        return false;
    }
    return true;
}

} // namespace save
