// Ctrl-C, and the waits it cuts short. Ctrl-C never stops an operation on
// the key halfway (that could leave a key password nothing unlocks): it is
// noted, and the command looks at it between operations, at a prompt and in
// its waits for a key. So are the requests to end that the platform sends
// when the terminal closes or the system asks the program to end.
#pragma once

#include <cstdint>

// Takes over Ctrl-C; once, at the start.
void WatchForInterrupt();

// Whether Ctrl-C was pressed since the start or the last ForgetInterrupt.
bool InterruptRequested();
void ForgetInterrupt();

// Waits `milliseconds`, or less when Ctrl-C is pressed meanwhile.
void PauseUnlessInterrupted(std::uint32_t milliseconds);
