// The terminal on POSIX: the standard streams written with write(2); Ctrl-C
// (SIGINT, SIGTERM, SIGHUP) noted by a handler installed without
// SA_RESTART, so that a read from the terminal or a sleep returns at once
// when one comes; passwords from the terminal with its echo turned off for
// the line, or from standard input read a byte at a time, so that no line
// is read ahead into a buffer that outlives it; and the random source on
// Linux, getrandom(2), from the kernel's pool.
#include <sys/random.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include "platform.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

ByteRead ReadStandardInput(char& byte) {
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got == 1) return ByteRead::Byte;
        if (got < 0 && errno == EINTR && !InterruptRequested()) continue;
        return got < 0 && errno == EINTR ? ByteRead::Interrupted : ByteRead::Ended;
    }
}

// Whatever was typed before the prompt showed is dropped (TCSAFLUSH).
LineRead ReadLineWithoutEcho(std::string_view prompt, TypedLine& line) {
    termios saved{};
    const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    WriteErr(prompt);
    const LineRead read = ReadTypedLine(ReadStandardInput, line);
    if (terminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    if (read != LineRead::Line) WriteErr("\n");
    return read;
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

void WatchForInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool InterruptRequested() {
    return interrupted != 0;
}

void ForgetInterrupt() {
    interrupted = 0;
}

void PauseUnlessInterrupted(std::uint32_t milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (!interrupted && nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

bool PasswordsFromTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

LineRead ReadPasswordLine(std::string_view prompt, TypedLine& line) {
    return PasswordsFromTerminal() ? ReadLineWithoutEcho(prompt, line)
                                   : ReadTypedLine(ReadStandardInput, line);
}

bool FillRandom(void* data, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(data);
    while (size > 0) {
        const ssize_t got = getrandom(bytes, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}
