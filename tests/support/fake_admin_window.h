// A recording stand-in for the main window: edits with text and
// visibility, the status box, message boxes and menu updates.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "admin_window_ops.h"

namespace fakewin {

struct MessageBoxCall {
    OwnerWindow owner;
    std::string text;  // as it was while the box was open
    std::string caption;
    MessageIcon icon;
    const char* textAddress;  // to check the buffer after the box is gone
};

// Edits are read like a byte-wise GetWindowTextA: the limit may split a
// double-byte character and leave its lead byte.
struct FakeWindow {
    std::array<std::string, 4> edits;  // indexed by PasswordEdit
    std::array<bool, 4> visible{};
    bool scribblesAfterText = false;  // fills the rest of the limit with 'X'
    std::function<void(PasswordEdit)> onEditRead;

    std::vector<std::string> statusTexts;
    std::vector<PasswordEdit> editsRead;
    std::vector<int> limits;
    std::vector<PasswordEdit> editsEmptied;
    std::vector<MessageBoxCall> boxes;
    std::vector<std::pair<OwnerWindow, KeyStatus>> menuUpdates;
};

FakeWindow& Window();
void ResetWindow();

// The password forms as the window shows them.
void ViewForm(const std::string& current);
void LoginChangeForm(const std::string& current, const std::string& newLogin);
void KeyChangeForm(const std::string& current, const std::string& newKey,
                   const std::string& confirm);

}  // namespace fakewin
