// Reading a message box of the program: its text, caption, icon, owner and
// buttons. Works on boxes of another process too, except for the icon.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wintest {

enum class Icon { Warning, Information, Other };

struct Box {
    std::string text;
    std::string caption;
    Icon icon = Icon::Other;  // Other for a box of another process
    HWND owner = nullptr;
    std::vector<int> buttons;  // control ids of its buttons
};

bool IsMessageBox(HWND window);
Box ReadBox(HWND box);

}  // namespace wintest
