// The menu and the buttons: the panel modes, the switch between the status
// box and the password form, and the key administration's operations.
#include <array>

#include "admin_window.h"
#include "edit_text.h"
#include "key_admin.h"
#include "resource_ids.h"
#include "secret_wipe.h"
#include "window_handlers.h"

namespace {

void Show(HWND control, bool shown) {
    ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
}

void Enable(HWND control, bool enabled) {
    EnableWindow(control, enabled ? TRUE : FALSE);
}

void Empty(HWND edit) {
    SetWindowTextA(edit, "");
}

// The status box, or the password form without its new-password edits
// (the caller shows exactly one of them).
void ShowPanel(bool showForm) {
    const AdminWindowState& w = windowState;
    if (showForm) {
        Show(w.statusBox, false);
        for (HWND control : {w.currentPasswordEdit, w.confirmPasswordEdit, w.okButton,
                             w.changeButton, w.cancelButton})
            Show(control, true);
        return;
    }
    Show(w.statusBox, true);
    for (HWND control : {w.currentPasswordEdit, w.newLoginPasswordEdit, w.newKeyPasswordEdit,
                         w.confirmPasswordEdit, w.okButton, w.changeButton, w.cancelButton})
        Show(control, false);
}

// Empties the new-password and confirmation edits and sets the form's
// enabled states; the typed key password is kept.
void PrepareForm(bool enableNew, bool enableOk) {
    const AdminWindowState& w = windowState;
    Empty(w.newLoginPasswordEdit);
    Empty(w.newKeyPasswordEdit);
    Empty(w.confirmPasswordEdit);
    Enable(w.currentPasswordEdit, true);
    Enable(w.newKeyPasswordEdit, enableNew);
    Enable(w.confirmPasswordEdit, false);
    Enable(w.okButton, enableOk);
    Enable(w.changeButton, enableNew);
    Enable(w.cancelButton, true);
}

// Repaints the whole window: the class redraws on every size change.
void NudgeWindowSize(HWND window) {
    constexpr UINT flags = SWP_NOMOVE | SWP_NOZORDER;
    SetWindowPos(window, nullptr, 0, 0, kWindowWidth, 281, flags);
    SetWindowPos(window, nullptr, 0, 0, kWindowWidth, 280, flags);
}

// Whether a key password has been typed, to choose the focus. The text is
// taken as the operations take it and wiped at once.
bool CurrentPasswordTyped() {
    TextField& typed = passwordBuffers.typedCurrentPassword;
    TakeEditText(PasswordEdit::Current, typed);
    const bool any = typed[0] != 0;
    WipeSecret(typed);
    return any;
}

void EnterViewLoginPassword(HWND) {
    const AdminWindowState& w = windowState;
    windowState.panelMode = PanelMode::ViewLoginPassword;
    ShowPanel(true);
    Show(w.newLoginPasswordEdit, false);
    Show(w.newKeyPasswordEdit, true);
    PrepareForm(false, true);
    SetFocus(w.currentPasswordEdit);
}

void EnterChangeLoginPassword(HWND) {
    const AdminWindowState& w = windowState;
    windowState.panelMode = PanelMode::ChangeLoginPassword;
    ShowPanel(true);
    Show(w.newLoginPasswordEdit, true);
    Show(w.newKeyPasswordEdit, false);
    PrepareForm(true, false);
    SetFocus(CurrentPasswordTyped() ? w.newLoginPasswordEdit : w.currentPasswordEdit);
}

// A factory-initial key has no key password to type: its field is emptied
// and disabled, and the focus goes to the new key password.
void EnterChangeKeyPassword(HWND) {
    const AdminWindowState& w = windowState;
    const bool initial = keyIdentity.status == KeyStatus::Initial;
    windowState.panelMode = PanelMode::ChangeKeyPassword;
    ShowPanel(true);
    Show(w.newLoginPasswordEdit, false);
    Show(w.newKeyPasswordEdit, true);
    PrepareForm(true, false);
    Enable(w.confirmPasswordEdit, true);  // a new key password is typed twice
    Enable(w.currentPasswordEdit, !initial);
    SetFocus(w.currentPasswordEdit);
    if (CurrentPasswordTyped()) SetFocus(w.newKeyPasswordEdit);
    if (initial) {
        Empty(w.currentPasswordEdit);
        SetFocus(w.newKeyPasswordEdit);
    }
}

void Refresh(HWND window) {
    ShowPanel(false);
    RefreshKeyStatus(window);
    UpdateMenuForStatus(window, keyIdentity.status);
}

void ShowPassword(HWND window) {
    ShowLoginPassword(window);
}

void Change(HWND window) {
    ChangePassword(window);
}

// Back to the status box, every field emptied; the key is not asked.
void Cancel(HWND) {
    const AdminWindowState& w = windowState;
    for (HWND edit : {w.currentPasswordEdit, w.newLoginPasswordEdit, w.newKeyPasswordEdit,
                      w.confirmPasswordEdit})
        Empty(edit);
    ShowPanel(false);
}

void Exit(HWND window) {
    DestroyWindow(window);
}

struct Command {
    WORD id;
    void (*run)(HWND window);
    bool repaint;  // followed by NudgeWindowSize
};

constexpr WORD kRefreshButton = 101;
constexpr WORD kOkButton = 102;
constexpr WORD kChangeButton = 103;
constexpr WORD kCancelButton = 104;

// Any other id (the edits' notifications come with id 0; Enter and Esc come
// as 1 and 2 through the dialog keyboard handling) does nothing.
constexpr std::array<Command, 8> kCommands{{
    {kRefreshButton, Refresh, true},
    {kOkButton, ShowPassword, false},
    {kChangeButton, Change, false},
    {kCancelButton, Cancel, false},
    {ID_VIEW_LOGIN_PASSWORD, EnterViewLoginPassword, true},
    {ID_CHANGE_LOGIN_PASSWORD, EnterChangeLoginPassword, true},
    {ID_CHANGE_KEY_PASSWORD, EnterChangeKeyPassword, true},
    {ID_EXIT, Exit, false},
}};

}  // namespace

LRESULT OnCommand(HWND window, WPARAM wParam) {
    const WORD id = LOWORD(wParam);
    for (const Command& command : kCommands) {
        if (command.id != id) continue;
        command.run(window);
        if (command.repaint) NudgeWindowSize(window);
        break;
    }
    return 0;
}
