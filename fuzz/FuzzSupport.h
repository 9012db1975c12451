#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// A private folder for the whole run, on a memory file system when there is one, removed at exit.
const QString &scratchFolder();

void writeBytes(const QString &path, std::string_view bytes);
std::string readBytes(const QString &path);

// Reports a broken property and stops the run so that libFuzzer keeps the input.
[[noreturn]] void fail(const char *what);

inline std::string_view asText(const uint8_t *data, std::size_t size) {
    return {reinterpret_cast<const char *>(data), size};
}

}  // namespace fuzz

#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition)) ::fuzz::fail(#condition); \
    } while (false)
