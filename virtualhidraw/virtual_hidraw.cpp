// virtual-hidraw: runs a command with virtual keys and foreign devices on
// fake /dev/hidraw nodes (device_options.h gives the command line, testbed.h
// how the nodes behave), and exits with the command's exit code. Its own
// failures (a word not understood, a key file refused, no testbed) exit 125
// with a message; a command that cannot be run exits 126, or 127 when it is
// not found; a command killed by signal S gives 128 + S.
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "device_options.h"
#include "plug_control.h"
#include "testbed.h"

namespace {

constexpr int kOwnFailure = 125;
constexpr char kPreload[] = "libumockdev-preload.so.0";

pid_t child = -1;

void ForwardSignal(int signal) {
    if (child > 0) kill(child, signal);
}

bool WriteFile(const std::string& path, const std::string& text) {
    if (path.empty()) return true;
    std::ofstream file(path, std::ios::trunc);
    file << text;
    file.close();
    if (file) return true;
    std::fprintf(stderr, "virtual-hidraw: cannot write %s\n", path.c_str());
    return false;
}

// The command's environment: umockdev's preload library ahead of any other.
void PreloadForCommand() {
    const char* others = std::getenv("LD_PRELOAD");
    std::string preload = kPreload;
    if (others && *others) preload += std::string(":") + others;
    setenv("LD_PRELOAD", preload.c_str(), 1);
}

constexpr std::array kPassedOn = {SIGTERM, SIGHUP};
constexpr std::array kLeftToCommand = {SIGINT, SIGQUIT};

void SetHandlers(void (*passedOn)(int), void (*leftToCommand)(int)) {
    for (int signal : kPassedOn) std::signal(signal, passedOn);
    for (int signal : kLeftToCommand) std::signal(signal, leftToCommand);
}

int Run(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    PreloadForCommand();
    // Signals wait while the command starts, so that none arriving between the
    // fork and the handlers is lost or ends this program before the command.
    sigset_t held;
    sigset_t before;
    sigemptyset(&held);
    for (int signal : kPassedOn) sigaddset(&held, signal);
    for (int signal : kLeftToCommand) sigaddset(&held, signal);
    sigprocmask(SIG_BLOCK, &held, &before);
    // Ctrl-C reaches the command; the testbed is taken down when it ends.
    SetHandlers(ForwardSignal, SIG_IGN);
    child = fork();
    if (child < 0) {
        std::perror("virtual-hidraw: fork");
        SetHandlers(SIG_DFL, SIG_DFL);
        sigprocmask(SIG_SETMASK, &before, nullptr);
        return kOwnFailure;
    }
    if (child == 0) {
        SetHandlers(SIG_DFL, SIG_DFL);
        sigprocmask(SIG_SETMASK, &before, nullptr);
        execvp(argv[0], argv.data());
        const int why = errno;
        std::fprintf(stderr, "virtual-hidraw: %s: %s\n", argv[0], std::strerror(why));
        _exit(why == ENOENT ? 127 : 126);
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    vhidraw::PlugLater();
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv) {
    vhidraw::Invocation invocation;
    std::string error;
    if (!vhidraw::ParseInvocation(std::vector<std::string>(argv + 1, argv + argc), invocation,
                                  error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), vhidraw::kUsage);
        return kOwnFailure;
    }
    if (!vhidraw::StartTestbed(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kOwnFailure;
    }
    for (const vhidraw::DeviceOptions& options : invocation.devices) {
        if (vhidraw::AddDevice(options, error) < 0) {
            std::fprintf(stderr, "%s\n", error.c_str());
            vhidraw::StopTestbed();
            return kOwnFailure;
        }
    }
    if (!invocation.controlFifo.empty() && !vhidraw::ServeControl(invocation.controlFifo, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        vhidraw::StopTestbed();
        return kOwnFailure;
    }
    if (!invocation.controlFifo.empty() && !vhidraw::ServeControl(invocation.controlFifo, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        vhidraw::StopTestbed();
        return kOwnFailure;
    }
    int status = Run(invocation.command);
    if (!WriteFile(invocation.cellsFile, vhidraw::CellLines()) ||
        !WriteFile(invocation.logFile, vhidraw::EventLines()))
        status = kOwnFailure;
    vhidraw::StopTestbed();
    return status;
}
