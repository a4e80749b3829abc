// Driving keyadmin.exe from another process.
#include "program_driver.h"

#include <array>
#include <cstring>
#include <vector>

namespace program {

namespace {

struct WindowSearch {
    DWORD process;
    const char* className;  // or null for a message box
    HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window)) return TRUE;
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    const bool match = search->className ? std::strcmp(name, search->className) == 0
                                         : wintest::IsMessageBox(window);
    if (!match) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindOfProcess(DWORD process, const char* className) {
    WindowSearch search{process, className, nullptr};
    EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Where each control must be, in client coordinates; the two new-password
// edits share a rectangle and differ in the password style.
struct ControlPlace {
    HWND Controls::*slot;
    const char* className;
    RECT rect;  // left, top, right, bottom
    bool password;
};

constexpr std::array<ControlPlace, 9> kPlaces{{
    {&Controls::statusBox, "Edit", {17, 142, 347, 217}, false},
    {&Controls::currentPasswordEdit, "Edit", {140, 142, 250, 160}, true},
    {&Controls::newLoginPasswordEdit, "Edit", {140, 170, 250, 188}, false},
    {&Controls::newKeyPasswordEdit, "Edit", {140, 170, 250, 188}, true},
    {&Controls::confirmPasswordEdit, "Edit", {140, 198, 250, 216}, true},
    {&Controls::refreshButton, "Button", {260, 110, 345, 133}, false},
    {&Controls::okButton, "Button", {260, 140, 320, 163}, false},
    {&Controls::changeButton, "Button", {260, 168, 320, 191}, false},
    {&Controls::cancelButton, "Button", {260, 196, 320, 219}, false},
}};

}  // namespace

Program::~Program() {
    if (process.hProcess) {
        if (WaitForExit(0) < 0) Kill();
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
}

bool Program::Launch(const char* commandLine) {
    std::string command = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process) != FALSE;
}

bool Program::Start(const char* commandLine) {
    return Launch(commandLine) && WaitForWindow();
}

bool Program::WaitForWindow() {
    for (int i = 0; i < 400 && !window; ++i) {
        window = FindOfProcess(process.dwProcessId, "KeyAdminWClass");
        if (!window) Sleep(25);
    }
    if (!window) return false;
    Sync();
    return true;
}

int Program::WaitForExit(DWORD milliseconds) {
    if (WaitForSingleObject(process.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}

void Program::Kill() {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
}

bool Program::FindControls() {
    controls = Controls{};
    std::array<int, kPlaces.size()> found{};
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(child, name, sizeof name);
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        const bool password = (GetWindowLongA(child, GWL_STYLE) & ES_PASSWORD) != 0;
        for (std::size_t i = 0; i < kPlaces.size(); ++i) {
            const ControlPlace& place = kPlaces[i];
            if (_stricmp(name, place.className) != 0 || !EqualRect(&rect, &place.rect)) continue;
            if (_stricmp(name, "Edit") == 0 && password != place.password) continue;
            controls.*place.slot = child;
            ++found[i];
        }
    }
    for (int count : found)
        if (count != 1) return false;
    return true;
}

void Program::Send(WORD id) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0, SMTO_NORMAL, 15000, &result);
}

void Program::Post(WORD id) const {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void Program::Sync() const {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &result);
}

std::string Program::Text(HWND control) const {
    char text[512] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, 5000, &result);
    return text;
}

std::wstring Program::WideText(HWND control) const {
    wchar_t text[512] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, 5000, &result);
    return text;
}

void Program::Type(HWND edit, const std::string& text) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        5000, &result);
}

void Program::PostKey(HWND target, UINT key) const {
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

HWND Program::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(process.dwThreadId, &info);
    return info.hwndFocus;
}

HWND Program::CurrentBox() const {
    return FindOfProcess(process.dwProcessId, nullptr);
}

HWND Program::WaitForBox(DWORD milliseconds) const {
    for (DWORD waited = 0;; waited += 20) {
        if (const HWND box = CurrentBox()) return box;
        if (waited >= milliseconds) return nullptr;
        Sleep(20);
    }
}

wintest::Box Program::ReadAndClose(HWND box) const {
    const wintest::Box read = wintest::ReadBox(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep(10);
    Sync();  // the operation behind the box has ended
    return read;
}

RECT Program::Rect() const {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

int WindowsOfClass(const char* className) {
    int count = 0;
    for (HWND w = FindWindowExA(nullptr, nullptr, className, nullptr); w;
         w = FindWindowExA(nullptr, w, className, nullptr))
        ++count;
    return count;
}

}  // namespace program
