// The scripted terminal.
#include "scripted_terminal.h"

#include "console.h"
#include "fake_clock.h"
#include "interrupt.h"
#include "password_input.h"
#include "typed_line.h"

namespace term {

namespace {

Terminal terminal;

}  // namespace

Terminal& Console() {
    return terminal;
}

void Reset() {
    terminal = Terminal{};
}

}  // namespace term

using term::Console;

void StartConsole() {}

bool WriteOut(std::string_view utf8) {
    if (Console().outputFails) return false;
    Console().out += utf8;
    return true;
}

bool WriteErr(std::string_view utf8) {
    Console().err += utf8;
    std::string& cue = Console().interruptOnErr;
    if (!cue.empty() && Console().err.find(cue) != std::string::npos) {
        Console().interrupted = true;
        cue.clear();
    }
    return true;
}

bool PasswordsFromTerminal() {
    return Console().fromTerminal;
}

PasswordRead ReadPassword(std::string_view prompt, TextField& text) {
    if (Console().fromTerminal) Console().prompts.emplace_back(prompt);
    TypedLine line;
    LineRead read = LineRead::Line;
    if (Console().typed.empty()) {
        read = LineRead::Ended;
    } else if (Console().typed.front() == term::kCtrlC) {
        read = LineRead::Interrupted;
        Console().interrupted = true;
    } else {
        for (char c : Console().typed.front()) KeepByte(line, c);
    }
    if (!Console().typed.empty()) Console().typed.pop_front();
    return PasswordOfLine(read, line, text);
}

void WatchForInterrupt() {}

bool InterruptRequested() {
    return Console().interrupted;
}

void ForgetInterrupt() {
    Console().interrupted = false;
}

void PauseUnlessInterrupted(std::uint32_t milliseconds) {
    fakeclock::Advance(milliseconds);
    Console().pausedMs += milliseconds;
    ++Console().pauses;
    if (Console().onPause) Console().onPause(Console().pauses);
    if (Console().pauses >= term::kRunawayPauses) Console().interrupted = Console().runaway = true;
}
