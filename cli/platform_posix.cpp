// The terminal on POSIX: the standard streams written with write(2); Ctrl-C
// (SIGINT, SIGTERM, SIGHUP, and Ctrl-\'s SIGQUIT) noted by a handler
// installed without SA_RESTART, so that a read from the terminal or a sleep
// returns at once when one comes; passwords from the terminal with its echo
// turned off for the line, and back on while the program is stopped at the
// prompt (Ctrl-Z), or from standard input read a byte at a time, so that no
// line is read ahead into a buffer that outlives it; the random source on
// Linux, getrandom(2), from the kernel's pool; and on Linux a process that
// leaves no core file and that no other user's process may trace.
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <fcntl.h>
#include <poll.h>
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
// A byte for each Ctrl-C, so that a read that was about to start when it
// came wakes for it too.
int interruptPipe[2] = {-1, -1};

void OnInterrupt(int) {
    const int error = errno;
    interrupted = 1;
    if (interruptPipe[1] >= 0) (void)!write(interruptPipe[1], "", 1);
    errno = error;
}

void Handle(int signal, void (*handler)(int), struct sigaction* before = nullptr) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(signal, &action, before);
}

// The terminal while a password is typed: its modes as they were and
// without echo, and the prompt, shown again when a stop dropped what was
// typed of the line.
termios normalModes{};
termios typingModes{};
std::string_view typingPrompt;
volatile std::sig_atomic_t typingAgain = 0;

void TypeAgainWithoutEcho() {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &typingModes);
    typingAgain = 1;
}

// Ctrl-Z at the prompt: while the program is stopped, the terminal has its
// echo back, without what was typed of the line (the shell would take it).
void OnStop(int) {
    const int error = errno;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &normalModes);
    Handle(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGTSTP);  // stopped here until it goes on
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    Handle(SIGTSTP, OnStop);
    TypeAgainWithoutEcho();
    errno = error;
}

// Going on after any stop: the shell may have given the terminal its echo
// back meanwhile.
void OnContinue(int) {
    const int error = errno;
    TypeAgainWithoutEcho();
    errno = error;
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
        if (typingAgain) {
            typingAgain = 0;
            WriteErr(typingPrompt);
        }
        if (interrupted) return ByteRead::Interrupted;
        pollfd ready[2] = {{STDIN_FILENO, POLLIN, 0}, {interruptPipe[0], POLLIN, 0}};
        const int woken = poll(ready, 2, -1);
        if (woken < 0 && errno != EINTR) return ByteRead::Ended;
        if (woken <= 0 || ready[0].revents == 0) continue;  // a signal, or Ctrl-C's byte
        const ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got == 1) return ByteRead::Byte;
        if (got < 0 && errno == EINTR) continue;
        return ByteRead::Ended;
    }
}

// Whatever was typed before the prompt showed is dropped (TCSAFLUSH).
LineRead ReadLineWithoutEcho(std::string_view prompt, TypedLine& line) {
    const bool terminal = tcgetattr(STDIN_FILENO, &normalModes) == 0;
    struct sigaction stop {};
    struct sigaction resume {};
    if (terminal) {
        typingModes = normalModes;
        typingModes.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        typingModes.c_lflag |= ECHONL;
        typingPrompt = prompt;
        typingAgain = 0;
        Handle(SIGTSTP, OnStop, &stop);
        Handle(SIGCONT, OnContinue, &resume);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &typingModes);
    }
    WriteErr(prompt);
    const LineRead read = ReadTypedLine(ReadStandardInput, line);
    if (terminal) {
        sigaction(SIGTSTP, &stop, nullptr);
        sigaction(SIGCONT, &resume, nullptr);
        tcsetattr(STDIN_FILENO, TCSANOW, &normalModes);
    }
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
    if (pipe2(interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) interruptPipe[0] = interruptPipe[1] = -1;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) Handle(signal, OnInterrupt);
}

void GuardProcessMemory() {
#if defined(__linux__)
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

bool InterruptRequested() {
    return interrupted != 0;
}

void ForgetInterrupt() {
    interrupted = 0;
    char bytes[16];
    while (interruptPipe[0] >= 0 && read(interruptPipe[0], bytes, sizeof bytes) > 0) {
    }
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
