// The command line's terminal (the first half of cli/platform.h) played by a
// script for host tests: what the command writes is kept, typed lines are
// handed out in turn (the command line converts them as it converts any),
// each wait moves the fake clock and lets the test act (plug a key in, press
// Ctrl-C), and the random source gives the bytes the test asks for, then
// bytes of a fixed sequence.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace term {

// After this many waits the script presses Ctrl-C, so that a command that
// would wait for good ends (and `runaway` says so).
inline constexpr int kRunawayPauses = 20000;

// A typed line that stands for Ctrl-C at the prompt.
inline const std::string kCtrlC = "\x03";

struct Terminal {
    std::string out;  // standard output
    std::string err;  // standard error
    bool outputFails = false;

    bool fromTerminal = false;      // a terminal: prompts shown, refusals typed again
    std::deque<std::string> typed;  // lines, UTF-8 without their line end
    std::vector<std::string> prompts;

    bool interrupted = false;
    int pauses = 0;
    bool runaway = false;  // so many waits that Ctrl-C was pressed to end them
    std::uint64_t pausedMs = 0;
    // Called after each wait with its number (1, 2, ...).
    std::function<void(int pause)> onPause;
    // Called before each typed line is read, with its number (1, 2, ...).
    std::function<void(int line)> onTyped;
    int linesRead = 0;
    // Called after each text written to standard error, with all of it so far.
    std::function<void(const std::string& err)> onErr;
    // Ctrl-C is pressed as soon as standard error has shown this text.
    std::string interruptOnErr;
    // Ctrl-C is pressed once the fake clock reaches this (0: never), as
    // during a look at a key that answers late.
    std::uint64_t interruptAtMs = 0;

    std::deque<std::uint8_t> random;                 // the random source's next bytes
    std::uint64_t randomState = 0x9E3779B97F4A7C15;  // then these, a xorshift sequence
};

Terminal& Console();
void Reset();

}  // namespace term
