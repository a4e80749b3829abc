// What the key administration asks of the window, done on its controls.
#include "admin_window.h"
#include "admin_window_ops.h"

namespace {

HWND EditOf(PasswordEdit edit) {
    switch (edit) {
        case PasswordEdit::Current:
            return windowState.currentPasswordEdit;
        case PasswordEdit::NewLogin:
            return windowState.newLoginPasswordEdit;
        case PasswordEdit::NewKey:
            return windowState.newKeyPasswordEdit;
        case PasswordEdit::Confirm:
            return windowState.confirmPasswordEdit;
    }
    return nullptr;
}

}  // namespace

void SetStatusText(const char* text) {
    SendMessageA(windowState.statusBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

int GetEditText(PasswordEdit edit, char* buffer, int limit) {
    return GetWindowTextA(EditOf(edit), buffer, limit);
}

void EmptyEdit(PasswordEdit edit) {
    SetWindowTextA(EditOf(edit), "");
}

bool IsEditVisible(PasswordEdit edit) {
    return IsWindowVisible(EditOf(edit)) != FALSE;
}

void ShowMessage(OwnerWindow owner, const char* text, const char* caption, MessageIcon icon) {
    const UINT iconStyle = icon == MessageIcon::Warning ? MB_ICONWARNING : MB_ICONINFORMATION;
    MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OK | iconStyle);
}
