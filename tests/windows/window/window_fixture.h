// The real administrator window, created in the test process against the
// virtual-key server: commands are sent to it as the menu and the buttons
// send them, and its message boxes are read and closed by a hook.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "admin_window.h"
#include "command_ids.h"
#include "key_admin.h"
#include "message_boxes.h"
#include "server_requests.h"

namespace wintest {

// The controls by name, in the order of creation.
struct NamedControl {
    const char* name;
    HWND AdminWindowState::*handle;
};

inline constexpr std::array<NamedControl, 9> kNamedControls{{
    {"statusBox", &AdminWindowState::statusBox},
    {"currentPasswordEdit", &AdminWindowState::currentPasswordEdit},
    {"newLoginPasswordEdit", &AdminWindowState::newLoginPasswordEdit},
    {"newKeyPasswordEdit", &AdminWindowState::newKeyPasswordEdit},
    {"confirmPasswordEdit", &AdminWindowState::confirmPasswordEdit},
    {"refreshButton", &AdminWindowState::refreshButton},
    {"okButton", &AdminWindowState::okButton},
    {"changeButton", &AdminWindowState::changeButton},
    {"cancelButton", &AdminWindowState::cancelButton},
}};

// Message boxes shown since the test began, each closed with OK.
std::vector<Box>& Boxes();

using keyserver::AddKey;
using keyserver::Cells;
using keyserver::Control;
using keyserver::Reports;

class AdminWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates and shows the window as the program does.
    void Open();
    void Command(WORD id);
    // What a click sends: the button's id with the button as source.
    void Click(HWND button);
    static void Type(HWND edit, const std::string& text);
    static std::string Text(HWND window);
    bool Greyed(UINT item) const;
    // Whether the three password items are greyed, in menu order.
    std::array<bool, 3> PasswordItemsGreyed() const;
    RECT Rect() const;

    HWND window = nullptr;
    const AdminWindowState& w = windowState;
};

}  // namespace wintest
