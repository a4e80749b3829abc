// The in-process window fixture: server, window, message box hook.
#include "window_fixture.h"

#include "key_link.h"

namespace wintest {

namespace {

HHOOK boxHook = nullptr;

// Reads each message box once it is set up, then presses its OK button.
LRESULT CALLBACK CaptureBox(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_INITDIALOG && IsMessageBox(sent->hwnd)) {
        Boxes().push_back(ReadBox(sent->hwnd));
        PostMessageA(sent->hwnd, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}

}  // namespace

std::vector<Box>& Boxes() {
    static std::vector<Box> boxes;
    return boxes;
}

void AdminWindowTest::SetUp() {
    Control("clear");
    OpenKey(kKeyGeneration);  // with no key: closes what an earlier test left open
    keyIdentity = KeyIdentity{};
    WipePasswordBuffers();
    ForgetKeyPasswordRepair();
    windowState = AdminWindowState{};
    Boxes().clear();
}

void AdminWindowTest::TearDown() {
    if (window && IsWindow(window)) DestroyWindow(window);
    // Whatever the window left in the queue, its quit message included.
    MSG message;
    for (int i = 0; i < 1000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i)
        if (message.message != WM_QUIT) DispatchMessageA(&message);
    if (boxHook) UnhookWindowsHookEx(boxHook);
    boxHook = nullptr;
}

void AdminWindowTest::Open() {
    static const bool registered = RegisterAdminWindowClass(GetModuleHandleA(nullptr));
    ASSERT_TRUE(registered);
    boxHook = SetWindowsHookExA(WH_CALLWNDPROCRET, CaptureBox, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, boxHook);
    window = CreateAdminWindow(GetModuleHandleA(nullptr));
    ASSERT_NE(nullptr, window);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

void AdminWindowTest::Command(WORD id) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void AdminWindowTest::Click(HWND button) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void AdminWindowTest::Type(HWND edit, const std::string& text) {
    SetWindowTextA(edit, text.c_str());
}

std::string AdminWindowTest::Text(HWND control) {
    char text[512] = {};
    GetWindowTextA(control, text, sizeof text);
    return text;
}

bool AdminWindowTest::Greyed(UINT item) const {
    const UINT state = GetMenuState(GetSubMenu(GetMenu(window), 0), item, MF_BYCOMMAND);
    EXPECT_NE(static_cast<UINT>(-1), state) << "no menu item " << item;
    return (state & (MF_GRAYED | MF_DISABLED)) != 0;
}

std::array<bool, 3> AdminWindowTest::PasswordItemsGreyed() const {
    return {Greyed(kMenuView), Greyed(kMenuChangeLogin), Greyed(kMenuChangeKey)};
}

RECT AdminWindowTest::Rect() const {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

}  // namespace wintest
