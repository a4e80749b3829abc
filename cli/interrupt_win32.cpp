// Ctrl-C on Windows: the console's control handler sets a flag and an event
// that cuts a wait short.
#include <windows.h>

#include <atomic>

#include "interrupt.h"

namespace {

std::atomic<bool> interrupted{false};
HANDLE interruptEvent = nullptr;  // manual-reset, set by the handler

BOOL WINAPI OnControl(DWORD) {
    interrupted = true;
    if (interruptEvent) SetEvent(interruptEvent);
    return TRUE;
}

}  // namespace

void WatchForInterrupt() {
    interruptEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnControl, TRUE);
}

bool InterruptRequested() {
    return interrupted;
}

void ForgetInterrupt() {
    interrupted = false;
    if (interruptEvent) ResetEvent(interruptEvent);
}

void PauseUnlessInterrupted(std::uint32_t milliseconds) {
    if (interruptEvent)
        WaitForSingleObject(interruptEvent, milliseconds);
    else
        Sleep(milliseconds);
}
