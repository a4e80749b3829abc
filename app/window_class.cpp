// The window class and the creation of the one window.
#include "admin_window.h"
#include "resource_ids.h"

namespace {

constexpr char kWindowTitle[] = "Quorvane Administrator - 81E1";

// A caption with the system menu and a minimize box; no sizing border, no
// maximize box.
constexpr DWORD kWindowStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                               WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
static_assert(kWindowStyle == 0x96CA0000);

constexpr COLORREF kBackground = RGB(191, 191, 191);

}  // namespace

bool RegisterAdminWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;  // every size change repaints the whole window
    windowClass.lpfnWndProc = AdminWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(KEYADMIN_ICON));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(kBackground);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(KEYADMIN_MENU);
    windowClass.lpszClassName = kWindowClassName;
    return RegisterClassA(&windowClass) != 0;
}

HWND CreateAdminWindow(HINSTANCE instance) {
    windowState.instance = instance;
    return CreateWindowExA(0, kWindowClassName, kWindowTitle, kWindowStyle, CW_USEDEFAULT,
                           CW_USEDEFAULT, kWindowWidth, kWindowHeight, nullptr, nullptr, instance,
                           nullptr);
}
