// The administrator window: one top-level window with the password menu,
// nine child controls, two fonts and the information panel painted on it.
// The window reaches the key only through the key administration
// (key_admin.h), which reaches the window back through admin_window_ops.h.
#pragma once

#include <windows.h>

#include <cstdint>

inline constexpr char kWindowClassName[] = "KeyAdminWClass";

// Outer size at creation; the first repaint by resizing leaves it 280 high.
inline constexpr int kWindowWidth = 370;
inline constexpr int kWindowHeight = 285;

// The password form last chosen from the menu. Whether the form or the
// status box is on show is the controls' visibility, not this mode.
enum class PanelMode : std::uint8_t {
    StatusView = 0,  // until the first password command
    ViewLoginPassword = 1,
    ChangeLoginPassword = 2,
    ChangeKeyPassword = 3,
};

// Module-level state of the window; the process has one window.
struct AdminWindowState {
    HINSTANCE instance = nullptr;  // creates the controls, loads the banner
    HWND statusBox = nullptr;
    HWND currentPasswordEdit = nullptr;
    HWND newLoginPasswordEdit = nullptr;
    HWND newKeyPasswordEdit = nullptr;
    HWND confirmPasswordEdit = nullptr;
    HWND refreshButton = nullptr;
    HWND okButton = nullptr;
    HWND changeButton = nullptr;
    HWND cancelButton = nullptr;
    HFONT largeFont = nullptr;  // the edits and the identity lines
    HFONT smallFont = nullptr;  // the buttons and the form labels
    PanelMode panelMode = PanelMode::StatusView;
};

extern AdminWindowState windowState;

// Registers the window class `KeyAdminWClass`. False on failure.
bool RegisterAdminWindowClass(HINSTANCE instance);

// Creates the window (centred, with its controls, after one status
// refresh). The module `instance` must hold the program's resources.
// Null on failure.
HWND CreateAdminWindow(HINSTANCE instance);

LRESULT CALLBACK AdminWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
