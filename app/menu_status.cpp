// Greying the password menu items by key status.
#include <array>

#include "admin_window.h"
#include "admin_window_ops.h"
#include "resource_ids.h"

namespace {

constexpr UINT kGreyed = MF_BYCOMMAND | MF_DISABLED | MF_GRAYED;
constexpr UINT kEnabled = MF_BYCOMMAND | MF_ENABLED;

constexpr std::array<UINT, 3> kPasswordItems{ID_VIEW_LOGIN_PASSWORD, ID_CHANGE_LOGIN_PASSWORD,
                                             ID_CHANGE_KEY_PASSWORD};

struct MenuForStatus {
    KeyStatus status;
    std::array<UINT, 3> items;  // in the order of kPasswordItems
};

// No key: nothing but "exit". A factory-initial key: only its first key
// password can be set. Any other status leaves the menu as it is.
constexpr std::array<MenuForStatus, 3> kMenuForStatus{{
    {KeyStatus::NotFound, {kGreyed, kGreyed, kGreyed}},
    {KeyStatus::Connected, {kEnabled, kEnabled, kEnabled}},
    {KeyStatus::Initial, {kGreyed, kGreyed, kEnabled}},
}};

}  // namespace

void UpdateMenuForStatus(OwnerWindow window, KeyStatus status) {
    const HMENU popup = GetSubMenu(GetMenu(static_cast<HWND>(window)), 0);
    for (const MenuForStatus& menu : kMenuForStatus) {
        if (menu.status != status) continue;
        for (std::size_t i = 0; i < kPasswordItems.size(); ++i)
            EnableMenuItem(popup, kPasswordItems[i], menu.items[i]);
    }
}
