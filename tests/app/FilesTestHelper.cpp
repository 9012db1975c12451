// A child process for the file and guard tests, so that they can kill it at will.
//   hold <name>          takes the single-instance guard, prints "held" or "busy", then waits for
//                        stdin to close
//   hand <name> <path>   hands <path> over to the holder of the guard; exit 0 once it took it
//   squat <socket>       listens at the socket path <socket>, prints "ready", then prints each
//                        message it gets on a line and answers it as the player would
//   send <socket> <text> sends <text> to the socket path <socket>; exit 0 when it is answered
//   rewrite <path> <n>   rewrites the catalogue file at <path> forever, alternating two contents of
//                        <n> lines
#include "app/SecondStart.h"
#include "app/SingleInstance.h"
#include "catalogue/CatalogueFile.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

std::vector<std::string> rewriteContent(char letter, int lines) {
    return std::vector<std::string>(static_cast<std::size_t>(lines), std::string(40, letter));
}

sockaddr_un socketAddress(const char *path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
    return address;
}

// Another user's stand-in for the player: it takes every message it can get.
int squat(const char *path) {
    const sockaddr_un address = socketAddress(path);
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::bind(server, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(server, 64) != 0)
        return std::perror("squat"), 1;
    ::chmod(path, 0777);
    std::puts("ready");
    std::fflush(stdout);
    for (int client; (client = ::accept(server, nullptr, nullptr)) >= 0; ::close(client)) {
        std::string text;
        char buffer[256];
        for (ssize_t count; (count = ::read(client, buffer, sizeof buffer)) > 0;)
            text.append(buffer, count);
        ::send(client, kHandOverTaken, std::strlen(kHandOverTaken), MSG_NOSIGNAL);
        if (!text.empty()) std::printf("got %s", text.c_str());
        std::fflush(stdout);
    }
    return 0;
}

int send(const char *path, const char *text) {
    const sockaddr_un address = socketAddress(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) return 1;
    ::send(fd, text, std::strlen(text), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    char buffer[64] = {};
    const ssize_t count = ::read(fd, buffer, sizeof buffer - 1);
    return count > 0 && std::string(buffer) == kHandOverTaken ? 0 : 1;
}

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "hand") == 0) {
        const SecondStart start{QString::fromLocal8Bit(argv[3]), {}};
        return SingleInstanceGuard::handOver(QString::fromLocal8Bit(argv[2]), encodeSecondStart(start)) ? 0
                                                                                                        : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "squat") == 0) return squat(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "send") == 0) return send(argv[2], argv[3]);
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
    std::fprintf(
        stderr,
        "usage: %s hold NAME | hand NAME PATH | squat SOCKET | send SOCKET TEXT | rewrite PATH LINES\n",
        argv[0]);
    return 2;
}
