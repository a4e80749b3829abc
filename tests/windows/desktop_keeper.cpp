// Keeps Wine's desktop up for a whole test run. Wine ends the process that
// serves the desktop a second after the last program using windows ended,
// and starts it again for the next one: a second or more for every window
// test, far more in a new prefix. This program uses the desktop with a
// window that is never shown, and runs until the run stops the wineserver.
#include <windows.h>

int main() {
    CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
