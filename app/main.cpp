// Entry point of the administration tool. The window comes with the window
// code; until then the program opens the key once and ends.
#include <windows.h>

#include "key_link.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    OpenKey(8);
    return IsKeyPresent();
}
