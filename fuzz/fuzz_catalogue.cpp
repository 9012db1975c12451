// Catalogue files under arbitrary contents.
//
// Input: the file's bytes. Reading the file gives what splitting the bytes gives; joining the lines
// and splitting again gives every line back byte for byte; writing the lines and reading the file
// again does too, and the write leaves nothing but the file in its folder.
#include "catalogue/CatalogueFile.h"
#include "fuzz/FuzzSupport.h"

#include <QDir>

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

    const QDir folder(fuzz::scratchFolder());
    const QString path = folder.filePath(QStringLiteral("1.CDL"));
    fuzz::writeBytes(path, input);
    const auto read = catalogue::readFile(path);
    FUZZ_CHECK(read && *read == lines);
    catalogue::writeFile(path, lines);
    FUZZ_CHECK(fuzz::readBytes(path) == joined);
    FUZZ_CHECK(catalogue::readFile(path) == lines);
    FUZZ_CHECK(folder.entryList(QDir::Files | QDir::Hidden | QDir::System) == QStringList{QStringLiteral("1.CDL")});
    return 0;
}
