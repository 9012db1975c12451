// Catalogue files under arbitrary contents, in code page 932 and in UTF-8 behind the byte-order mark.
//
// Input: the file's bytes. Joining split lines and splitting again gives every line back byte for
// byte. Reading the file gives the titles of its contents; a code page 932 file is written back
// byte for byte (up to its end mark and line ends), any file is written again as it was written
// once (the encoding choice is stable) or refused, and the write leaves nothing but the file in its
// folder.
#include "catalogue/CatalogueFile.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Errors.h"
#include "platform/TitleEncoding.h"

#include <QDir>

#include <algorithm>

namespace {
constexpr std::size_t kMaxInput = 64 * 1024;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size > kMaxInput) return -1;
    const std::string_view input = fuzz::asText(data, size);
    const std::vector<std::string> lines = catalogue::splitLines(input);
    for (const std::string &line : lines) {
        FUZZ_CHECK(line.find('\r') == std::string::npos);
        FUZZ_CHECK(line.find('\x1A') == std::string::npos);
    }
    const std::string joined = catalogue::joinLines(lines);
    FUZZ_CHECK(catalogue::splitLines(joined) == lines);
    // Text up to the end-of-file byte that already ends in CR LF is written back unchanged.
    const std::string_view body = input.substr(0, input.find('\x1A'));
    if (body.ends_with("\r\n") && body.find('\r') == body.find("\r\n") &&
        body.find_first_of('\r') == body.size() - 2)
        FUZZ_CHECK(joined == body);

    const std::vector<std::string> titles = catalogue::titlesOfContent(input);
    std::string content;
    try {
        content = catalogue::contentOfTitles(titles);
    } catch (const EInOutError &) {
        // Bytes of a code page 932 line that would join into other characters in UTF-8 (a file whose
        // line begins with the mark has such a title): the save is refused, not changed.
        return 0;
    }
    const bool utf8 = titles::isUtf8(content);
    const bool anyUtf8Title = std::any_of(titles.begin(), titles.end(), [](const std::string &t) { return titles::isUtf8(t); });
    if (!titles::isUtf8(input)) FUZZ_CHECK(titles == lines);
    if (!anyUtf8Title) FUZZ_CHECK(content == catalogue::joinLines(titles));
    if (utf8) FUZZ_CHECK(anyUtf8Title);
    FUZZ_CHECK(catalogue::contentOfTitles(catalogue::titlesOfContent(content)) == content);

    const QDir folder(fuzz::scratchFolder());
    const QString path = folder.filePath(QStringLiteral("1.CDL"));
    fuzz::writeBytes(path, input);
    const auto read = catalogue::readFile(path);
    FUZZ_CHECK(read && *read == titles);
    catalogue::writeFile(path, titles);
    FUZZ_CHECK(fuzz::readBytes(path) == content);
    FUZZ_CHECK(catalogue::contentOfTitles(*catalogue::readFile(path)) == content);
    FUZZ_CHECK(folder.entryList(QDir::Files | QDir::Hidden | QDir::System) == QStringList{QStringLiteral("1.CDL")});
    return 0;
}
