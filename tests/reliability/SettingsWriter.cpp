// A child process for the settings fault tests: rewrites one value of the settings file at <path>
// forever, alternating two texts of <n> bytes, until it is killed.
#include "app/SettingsFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PATH BYTES\n", argv[0]);
        return 2;
    }
    SettingsFile file(QString::fromLocal8Bit(argv[1]));
    const std::size_t bytes = static_cast<std::size_t>(std::atoi(argv[2]));
    for (bool first = true;; first = !first) file.WriteText("Tunewick", "Title", std::string(bytes, first ? 'A' : 'B'));
}
