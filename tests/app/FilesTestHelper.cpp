// A child process for the file and guard tests, so that they can kill it at will.
//   hold <name>          takes the single-instance guard, prints "held" or "busy", then waits for
//                        stdin to close
//   rewrite <path> <n>   rewrites the catalogue file at <path> forever, alternating two contents of
//                        <n> lines
#include "app/SingleInstance.h"
#include "catalogue/CatalogueFile.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

std::vector<std::string> rewriteContent(char letter, int lines) {
    return std::vector<std::string>(static_cast<std::size_t>(lines), std::string(40, letter));
}

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "hold") == 0) {
        auto guard = SingleInstanceGuard::acquire(QString::fromLocal8Bit(argv[2]));
        std::puts(guard ? "held" : "busy");
        std::fflush(stdout);
        while (std::fgetc(stdin) != EOF) {
        }
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "rewrite") == 0) {
        const QString path = QString::fromLocal8Bit(argv[2]);
        const int lines = std::atoi(argv[3]);
        for (bool first = true;; first = !first) catalogue::writeFile(path, rewriteContent(first ? 'A' : 'B', lines));
    }
    std::fprintf(stderr, "usage: %s hold NAME | rewrite PATH LINES\n", argv[0]);
    return 2;
}
