#include "app/LocalPath.h"

#include <QUrl>
#include <sys/stat.h>

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF hold the bytes 0x80..0xFF

// The length of the UTF-8 character at `at`, or 0 when the bytes there form none (a stray byte,
// a cut sequence, an overlong form, a surrogate or a value past U+10FFFF).
int characterLength(const QByteArray &bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    const int length = lead >= 0xC2 && lead <= 0xDF   ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
    if (length == 0 || at + length > bytes.size()) return 0;
    for (int i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    const unsigned char second = byte(at + 1);
    if (lead == 0xE0 && second < 0xA0) return 0;  // overlong
    if (lead == 0xED && second >= 0xA0) return 0; // a surrogate
    if (lead == 0xF0 && second < 0x90) return 0;  // overlong
    if (lead == 0xF4 && second >= 0x90) return 0; // past U+10FFFF
    return length;
}

} // namespace

QString pathFromLocal(const QByteArray &bytes) {
    QString path;
    path.reserve(bytes.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        const int length = characterLength(bytes, at);
        if (length == 0) {
            path += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[at])));
            ++at;
        } else {
            path += QString::fromUtf8(bytes.constData() + at, length);
            at += length;
        }
    }
    return path;
}

QByteArray localPath(const QString &path) {
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype start = 0; // of the run of ordinary characters not yet written
    for (qsizetype at = 0; at <= path.size(); ++at) {
        const bool escaped = at < path.size() && path[at].unicode() >= kEscapeBase + 0x80 &&
                             path[at].unicode() <= kEscapeBase + 0xFF &&
                             !(at > 0 && path[at - 1].isHighSurrogate());
        if (at < path.size() && !escaped) continue;
        bytes += path.mid(start, at - start).toUtf8();
        if (escaped) bytes += char(path[at].unicode() - kEscapeBase);
        start = at + 1;
    }
    return bytes;
}

QString pathOfFileUrl(const QUrl &url) {
    if (!url.isLocalFile()) return {};
    return pathFromLocal(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

PathKind pathKind(const QString &path) {
    struct stat status {};
    if (path.isEmpty() || ::stat(localPath(path).constData(), &status) != 0) return PathKind::Missing;
    if (S_ISREG(status.st_mode)) return PathKind::File;
    if (S_ISDIR(status.st_mode)) return PathKind::Folder;
    return PathKind::Other;
}
