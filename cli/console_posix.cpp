// The standard streams on POSIX: UTF-8 bytes, written with write(2).
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "console.h"

namespace {

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

void StartConsole() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool WriteOut(std::string_view utf8) {
    return WriteAll(STDOUT_FILENO, utf8);
}

bool WriteErr(std::string_view utf8) {
    return WriteAll(STDERR_FILENO, utf8);
}
