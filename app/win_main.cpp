// Entry point of the administration tool: one copy at a time, a notice when
// Windows runs it in another code page than its texts', one window, and a
// message loop that gives the window the dialog keyboard handling
// (Tab among the form's fields).
#include "admin_window.h"
#include "code_page_notice.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand) {
    // A copy is running: end quietly, leaving it alone.
    if (FindWindowA(kWindowClassName, nullptr)) {
        PostQuitMessage(0);
        return 0;
    }
    NoticeWhenNotKoreanCodePage();
    if (!previous && !RegisterAdminWindowClass(instance)) return 0;
    const HWND window = CreateAdminWindow(instance);
    if (!window) return 0;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        const HWND adminWindow = FindWindowA(kWindowClassName, nullptr);
        if (adminWindow && IsDialogMessageA(adminWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
