// keyadmin-cli, the real program, run under virtual-hidraw as a user runs it:
// its devices on fake hidraw nodes, standard input from a pipe or a pty, its
// outputs, its exit code, and the cells each key holds at the end.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace clirun {

struct Run {
    int exitCode = -1;
    std::string out;                   // standard output (everything, with a pty)
    std::string err;                   // standard error
    std::map<int, std::string> cells;  // hidraw number -> its 59 cells, hex
    long elapsedMs = 0;
};

struct Invocation {
    std::string devices;                     // virtual-hidraw's device words, split at spaces
    std::vector<std::string> arguments;      // keyadmin-cli's
    std::string input;                       // standard input (a pipe), or
    std::vector<std::string> typed{};        // lines typed at a pty, one per prompt seen
    std::vector<std::string> environment{};  // NAME=value added
    bool asAnotherUser = false;              // as nobody (setpriv), when run as root
    // Once the outputs hold this text, virtual-hidraw gets SIGTERM (which it
    // passes on to keyadmin-cli, which takes it as Ctrl-C).
    std::string terminateOn{};
};

Run RunCli(const Invocation& invocation);

// The first child of a process, or 0: the one virtual-hidraw runs
// (keyadmin-cli).
pid_t CommandOf(pid_t virtualHidraw);

// The cells of a field (12 bytes from `base`) from a hex line.
std::string FieldOf(const std::string& cellsHex, int base);

}  // namespace clirun
