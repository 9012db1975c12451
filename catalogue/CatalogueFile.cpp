#include "catalogue/CatalogueFile.h"

#include "platform/AtomicFile.h"
#include "platform/Errors.h"
#include "platform/TitleEncoding.h"

#include <QCoreApplication>
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
    throw EInOutError(utf8(QCoreApplication::translate("CatalogueFile", "%1 に書き込めません: %2").arg(QDir::toNativeSeparators(path), reason)));
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

namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A title in UTF-8 (read from a UTF-8 file, or typed) that code page 932 holds exactly goes back
// into code page 932, so that a file whose titles all fit is code page 932 again.
std::optional<std::string> inCodePage932(const std::string &title) {
    if (!titles::isUtf8(title)) return title;
    std::string bytes = titles::encode(titles::decode(title));
    if (titles::isUtf8(bytes)) return std::nullopt;
    return bytes;
}

bool needsUtf8(const std::string &title) { return !inCodePage932(title); }

}  // namespace

std::vector<std::string> titlesOfContent(std::string_view content) {
    if (!titles::isUtf8(content)) return splitLines(content);
    std::vector<std::string> lines = splitLines(content.substr(titles::kUtf8Mark.size()));
    for (std::string &line : lines)
        if (!isAscii(line)) line.insert(0, titles::kUtf8Mark);
    return lines;
}

namespace {

// The title at `index` (0 the disc title) as the editor names it.
QString titleName(std::size_t index) {
    if (index == 0) return QCoreApplication::translate("CatalogueFile", "ディスクのタイトル");
    return QCoreApplication::translate("CatalogueFile", "トラック %1 のタイトル").arg(index);
}

// The line of a title in a UTF-8 file. Bytes of a code page 932 title that form no character are
// kept as they are; where they would join into a character of UTF-8 the title cannot be kept.
std::string utf8Line(const std::vector<std::string> &titles, std::size_t index) {
    std::string line = titles::toUtf8(titles[index]);
    if (titles::decode(std::string(titles::kUtf8Mark) + line) != titles::decode(titles[index])) {
        throw EInOutError(utf8(QCoreApplication::translate(
                                   "CatalogueFile", "%1 にある文字にならないバイトは UTF-8 のファイルにそのまま残せないため、"
                                                    "保存しませんでした。そのタイトルを直すか、コードページ 932 にない文字を"
                                                    "ほかのタイトルから取り除いてください")
                                   .arg(titleName(index))));
    }
    return line;
}

}  // namespace

std::string contentOfTitles(const std::vector<std::string> &titles) {
    const bool utf8 = std::any_of(titles.begin(), titles.end(), needsUtf8);
    std::vector<std::string> lines;
    lines.reserve(titles.size());
    for (std::size_t i = 0; i < titles.size(); ++i) lines.push_back(utf8 ? utf8Line(titles, i) : *inCodePage932(titles[i]));
    return utf8 ? std::string(titles::kUtf8Mark) + joinLines(lines) : joinLines(lines);
}

std::optional<std::vector<std::string>> readFile(const QString &path) {
    if (!QFileInfo::exists(path)) return std::nullopt;
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        throw EInOutError(utf8(QCoreApplication::translate("CatalogueFile", "%1 を読み込めません: %2")
                                    .arg(QDir::toNativeSeparators(path), QStringLiteral("not a regular file"))));
    }
    QByteArray content;
    if (file.open(QIODevice::ReadOnly)) content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(utf8(QCoreApplication::translate("CatalogueFile", "%1 を読み込めません: %2")
                                    .arg(QDir::toNativeSeparators(path), file.errorString())));
    return titlesOfContent(std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
}

void writeFile(const QString &path, const std::vector<std::string> &lines) {
    if (std::optional<QString> failure = platform::replaceFileAtomically(path, contentOfTitles(lines)))
        failWrite(path, *failure);
}

}  // namespace catalogue
