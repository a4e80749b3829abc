// The in-process window fixture: server, window, message box hook.
#include "window_fixture.h"

#include <sstream>

#include "key_link.h"
#include "virtual_key_server.h"

namespace wintest {

namespace {

// One virtual-key server for the whole test process.
class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(server::Start()) << "no virtual-key server"; }
    void TearDown() override { server::Stop(); }
};

[[maybe_unused]] const ::testing::Environment* const serverEnvironment =
    ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

HHOOK boxHook = nullptr;

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

Icon IconOf(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_stricmp(ClassOf(child).c_str(), "Static") != 0) continue;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        const auto icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (icon == LoadIconA(nullptr, IDI_WARNING)) return Icon::Warning;
        if (icon == LoadIconA(nullptr, IDI_INFORMATION)) return Icon::Information;
    }
    return Icon::Other;
}

Box ReadBox(HWND box) {
    Box read;
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    read.text = text;
    GetWindowTextA(box, text, sizeof text);
    read.caption = text;
    read.icon = IconOf(box);
    read.owner = GetWindow(box, GW_OWNER);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (_stricmp(ClassOf(child).c_str(), "Button") == 0 &&
            (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE))  // the box itself is not shown yet
            read.buttons.push_back(GetDlgCtrlID(child));
    return read;
}

// Reads each message box once it is set up, then presses its OK button.
LRESULT CALLBACK CaptureBox(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_INITDIALOG && ClassOf(sent->hwnd) == "#32770") {
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

std::string AdminWindowTest::Control(const std::string& request) {
    const std::string reply = server::Request(request);
    EXPECT_TRUE(vhid::ReplyOk(reply)) << request << " -> " << reply;
    return reply;
}

std::string AdminWindowTest::AddKey(const std::string& options) {
    return server::IdOf(Control("add-key " + options));
}

std::string AdminWindowTest::Cells(const std::string& id) {
    const std::string hex = server::IdOf(Control("cells " + id));
    std::string cells;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        cells.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return cells;
}

int AdminWindowTest::Reports(const std::string& id) {
    std::istringstream lines(Control("list"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, id.size() + 1, id + " ") != 0) continue;
        const auto at = line.find(" reports=");
        if (at != std::string::npos) return std::stoi(line.substr(at + 9));
    }
    return -1;
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

RECT AdminWindowTest::Rect() const {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

}  // namespace wintest
