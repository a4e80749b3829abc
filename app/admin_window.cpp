// The window procedure, and the creation and destruction of the window.
#include <array>

#include "admin_window.h"
#include "key_admin.h"
#include "window_handlers.h"

namespace {

using MessageHandler = LRESULT (*)(HWND window, WPARAM wParam);

struct HandledMessage {
    UINT message;
    MessageHandler handle;
};

constexpr std::array<HandledMessage, 4> kHandledMessages{{
    {WM_CREATE, OnCreate},
    {WM_DESTROY, OnDestroy},
    {WM_PAINT, OnPaint},
    {WM_COMMAND, OnCommand},
}};

enum class ControlFont : std::uint8_t { Large, Small };

struct ControlSpec {
    HWND AdminWindowState::*handle;
    const char* className;
    const char* text;
    DWORD style;
    DWORD exStyle;
    int x, y, width, height;
    int id;
    ControlFont font;
};

constexpr DWORD kPasswordEditStyle = WS_CHILD | WS_TABSTOP | ES_PASSWORD;
constexpr DWORD kFormButtonStyle = WS_CHILD | WS_TABSTOP;  // a push button

// In the order of creation, which is the Z order and the order in which Tab
// visits them. Only the status box and the refresh button start visible.
constexpr std::array<ControlSpec, 9> kControls{{
    {&AdminWindowState::statusBox, "EDIT", "Disp Edit",
     WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY, WS_EX_CLIENTEDGE, 17, 142, 330, 75, 0,
     ControlFont::Large},
    {&AdminWindowState::currentPasswordEdit, "EDIT", "", kPasswordEditStyle, WS_EX_CLIENTEDGE, 140,
     142, 110, 18, 0, ControlFont::Large},
    // The new login password shows as it is typed.
    {&AdminWindowState::newLoginPasswordEdit, "EDIT", "", WS_CHILD | WS_TABSTOP, WS_EX_CLIENTEDGE,
     140, 170, 110, 18, 0, ControlFont::Large},
    {&AdminWindowState::newKeyPasswordEdit, "EDIT", "", kPasswordEditStyle, WS_EX_CLIENTEDGE, 140,
     170, 110, 18, 0, ControlFont::Large},
    {&AdminWindowState::confirmPasswordEdit, "EDIT", "", kPasswordEditStyle, WS_EX_CLIENTEDGE, 140,
     198, 110, 18, 0, ControlFont::Large},
    {&AdminWindowState::refreshButton, "BUTTON", "새로고침", WS_CHILD | WS_VISIBLE, 0, 260, 110, 85,
     23, 101, ControlFont::Small},
    {&AdminWindowState::okButton, "BUTTON", "확인", kFormButtonStyle, 0, 260, 140, 60, 23, 102,
     ControlFont::Small},
    {&AdminWindowState::changeButton, "BUTTON", "변경", kFormButtonStyle, 0, 260, 168, 60, 23, 103,
     ControlFont::Small},
    {&AdminWindowState::cancelButton, "BUTTON", "취소", kFormButtonStyle, 0, 260, 196, 60, 23, 104,
     ControlFont::Small},
}};

HFONT CreateFixedHangulFont(int height) {
    return CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, HANGEUL_CHARSET, 0, 0, 0,
                       FIXED_PITCH | FF_MODERN, "굴림체");
}

// Centres the window on the primary screen (truncating division).
void CentreOnScreen(HWND window) {
    const int x = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
    SetWindowPos(window, nullptr, x, y, kWindowWidth, kWindowHeight, SWP_NOZORDER);
}

void CreateControls(HWND window) {
    for (const ControlSpec& control : kControls) {
        windowState.*control.handle =
            CreateWindowExA(control.exStyle, control.className, control.text, control.style,
                            control.x, control.y, control.width, control.height, window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                            windowState.instance, nullptr);
    }
    windowState.largeFont = CreateFixedHangulFont(14);
    windowState.smallFont = CreateFixedHangulFont(12);
    for (const ControlSpec& control : kControls) {
        const HFONT font =
            control.font == ControlFont::Large ? windowState.largeFont : windowState.smallFont;
        SendMessageA(windowState.*control.handle, WM_SETFONT, reinterpret_cast<WPARAM>(font),
                     FALSE);
    }
}

}  // namespace

LRESULT CALLBACK AdminWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const HandledMessage& handled : kHandledMessages)
        if (handled.message == message) return handled.handle(window, wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnCreate(HWND window, WPARAM) {
    windowState.panelMode = PanelMode::StatusView;
    CentreOnScreen(window);
    CreateControls(window);
    RefreshKeyStatus(window);
    UpdateMenuForStatus(window, keyIdentity.status);
    return 0;
}

// A key-password repair still pending dies with the window: it was kept in
// memory only.
LRESULT OnDestroy(HWND, WPARAM) {
    ForgetKeyPasswordRepair();
    PostQuitMessage(0);
    return 0;
}
