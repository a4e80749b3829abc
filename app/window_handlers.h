// The four messages the window handles, each in a handler of its own. Each
// returns the message's result, 0.
#pragma once

#include <windows.h>

LRESULT OnCreate(HWND window, WPARAM wParam);
LRESULT OnDestroy(HWND window, WPARAM wParam);
LRESULT OnPaint(HWND window, WPARAM wParam);
LRESULT OnCommand(HWND window, WPARAM wParam);
