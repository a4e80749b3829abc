// Ctrl-C on POSIX: SIGINT, SIGTERM and SIGHUP set a flag. The handler is
// installed without SA_RESTART, so that a read from the terminal or a sleep
// returns at once when one comes.
#include <time.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include "interrupt.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}

}  // namespace

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
