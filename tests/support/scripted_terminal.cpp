// The scripted terminal.
#include "scripted_terminal.h"

#include "fake_clock.h"
#include "platform.h"

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

LineRead ReadPasswordLine(std::string_view prompt, TypedLine& line) {
    if (Console().fromTerminal) Console().prompts.emplace_back(prompt);
    if (Console().typed.empty()) return LineRead::Ended;
    const std::string typed = Console().typed.front();
    Console().typed.pop_front();
    if (typed == term::kCtrlC) {
        Console().interrupted = true;
        return LineRead::Interrupted;
    }
    for (char c : typed) KeepByte(line, c);
    return LineRead::Line;
}

void WatchForInterrupt() {}

bool InterruptRequested() {
    std::uint64_t& at = Console().interruptAtMs;
    if (at != 0 && fakeclock::Now() >= at) {
        Console().interrupted = true;
        at = 0;
    }
    return Console().interrupted;
}

void ForgetInterrupt() {
    InterruptRequested();  // a Ctrl-C due by now was pressed, and is forgotten too
    Console().interrupted = false;
}

void PauseUnlessInterrupted(std::uint32_t milliseconds) {
    fakeclock::Advance(milliseconds);
    Console().pausedMs += milliseconds;
    ++Console().pauses;
    if (Console().onPause) Console().onPause(Console().pauses);
    if (Console().pauses >= term::kRunawayPauses) Console().interrupted = Console().runaway = true;
}

bool FillRandom(void* data, std::size_t size) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    std::uint64_t& state = Console().randomState;
    for (std::size_t i = 0; i < size; ++i) {
        if (!Console().random.empty()) {
            bytes[i] = Console().random.front();
            Console().random.pop_front();
            continue;
        }
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        bytes[i] = static_cast<std::uint8_t>(state >> 56);
    }
    return true;
}
