#include "catalogue/CatalogueFile.h"

#include "platform/AtomicFile.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace catalogue {

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kEndOfFile = '\x1A';

std::string utf8(const QString &text) {
    return text.toStdString();
}

[[noreturn]] void failWrite(const QString &path, const QString &reason) {
    throw EInOutError(utf8(QDir::toNativeSeparators(path)) + " に書き込めません: " + utf8(reason));
}

}  // namespace

QString fileNameForLength(uint32_t discLength) {
    return QString::number(discLength) + QStringLiteral(".CDL");
}

QString catalogueFolder() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/cd-tunewick32");
}

std::vector<std::string> splitLines(std::string_view content) {
    content = content.substr(0, content.find(kEndOfFile));
    std::vector<std::string> lines;
    while (!content.empty()) {
        const std::size_t end = content.find(kCarriageReturn);
        if (end == std::string_view::npos) {
            lines.emplace_back(content);
            break;
        }
        lines.emplace_back(content.substr(0, end));
        std::size_t next = end + 1;
        if (next < content.size() && content[next] == kLineFeed) ++next;
        content.remove_prefix(next);
    }
    return lines;
}

std::string joinLines(const std::vector<std::string> &lines) {
    std::size_t size = 0;
    for (const std::string &line : lines) size += line.size() + 2;
    std::string content;
    content.reserve(size);
    for (const std::string &line : lines) content.append(line).append("\r\n");
    return content;
}

std::optional<std::vector<std::string>> readFile(const QString &path) {
    if (!QFileInfo::exists(path)) return std::nullopt;
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        throw EInOutError(utf8(QDir::toNativeSeparators(path)) + " を読み込めません: not a regular file");
    }
    QByteArray content;
    if (file.open(QIODevice::ReadOnly)) content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(utf8(QDir::toNativeSeparators(path)) + " を読み込めません: " + utf8(file.errorString()));
    return splitLines(std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
}

void writeFile(const QString &path, const std::vector<std::string> &lines) {
    if (std::optional<QString> failure = platform::replaceFileAtomically(path, joinLines(lines)))
        failWrite(path, *failure);
}

}  // namespace catalogue
