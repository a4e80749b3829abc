// The scripted terminal.
#include "scripted_terminal.h"

#include <utility>

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
    // Room enough that no output moves the text written before it, which
    // would leave a copy of it behind.
    terminal.out.reserve(1 << 16);
    terminal.err.reserve(1 << 16);
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
    if (Console().onErr) Console().onErr(Console().err);
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
    if (Console().onTyped) Console().onTyped(++Console().linesRead);
    if (Console().typed.empty()) return LineRead::Ended;
    std::string& typed = Console().typed.front();
    const bool interrupted = typed == term::kCtrlC;
    if (!interrupted)
        for (char c : typed) KeepByte(line, c);
    for (char& c : typed) static_cast<volatile char&>(c) = 0;  // the command's alone now
    Console().typed.pop_front();
    if (interrupted) Console().interrupted = true;
    return interrupted ? LineRead::Interrupted : LineRead::Line;
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
            bytes[i] = std::exchange(Console().random.front(), 0);
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
