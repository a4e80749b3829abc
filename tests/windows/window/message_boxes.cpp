// Message boxes as the platform builds them: a dialog whose text is control
// 0xFFFF and whose icon is a static icon control.
#include "message_boxes.h"

namespace wintest {

namespace {

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

}  // namespace

bool IsMessageBox(HWND window) {
    return ClassOf(window) == "#32770";
}

Box ReadBox(HWND box) {
    Box read;
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    read.text = text;
    GetWindowTextA(box, text, sizeof text);
    read.caption = text;
    DWORD process = 0;
    GetWindowThreadProcessId(box, &process);
    if (process == GetCurrentProcessId()) read.icon = IconOf(box);
    read.owner = GetWindow(box, GW_OWNER);
    // The style, not IsWindowVisible: a box is read before it is shown.
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (_stricmp(ClassOf(child).c_str(), "Button") == 0 &&
            (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE))
            read.buttons.push_back(GetDlgCtrlID(child));
    return read;
}

}  // namespace wintest
