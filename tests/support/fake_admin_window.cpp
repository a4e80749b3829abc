#include "fake_admin_window.h"

#include <algorithm>
#include <cstring>

namespace fakewin {

namespace {

FakeWindow window;

std::size_t Index(PasswordEdit edit) {
    return static_cast<std::size_t>(edit);
}

void Form(const std::string& current, PasswordEdit newEdit, const std::string& newText,
          const std::string& confirm) {
    ResetWindow();
    window.edits = {current, "", "", confirm};
    window.edits[Index(newEdit)] = newText;
    window.visible = {true, false, false, true};
    window.visible[Index(newEdit)] = true;
}

}  // namespace

FakeWindow& Window() {
    return window;
}
void ResetWindow() {
    window = FakeWindow{};
}

void ViewForm(const std::string& current) {
    Form(current, PasswordEdit::NewLogin, "", "");
    window.visible[Index(PasswordEdit::NewLogin)] = false;
}
void LoginChangeForm(const std::string& current, const std::string& newLogin) {
    Form(current, PasswordEdit::NewLogin, newLogin, "");
}
void KeyChangeForm(const std::string& current, const std::string& newKey,
                   const std::string& confirm) {
    Form(current, PasswordEdit::NewKey, newKey, confirm);
}

}  // namespace fakewin

using fakewin::window;

void SetStatusText(const char* text) {
    window.statusTexts.emplace_back(text);
}

int GetEditText(PasswordEdit edit, char* buffer, int limit) {
    window.editsRead.push_back(edit);
    window.limits.push_back(limit);
    if (window.onEditRead) window.onEditRead(edit);
    const std::string& text = window.edits[static_cast<std::size_t>(edit)];
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(limit - 1));
    if (window.scribblesAfterText) std::memset(buffer, 'X', limit);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

void EmptyEdit(PasswordEdit edit) {
    window.editsEmptied.push_back(edit);
    window.edits[static_cast<std::size_t>(edit)].clear();
}

bool IsEditVisible(PasswordEdit edit) {
    return window.visible[static_cast<std::size_t>(edit)];
}

void ShowMessage(OwnerWindow owner, const char* text, const char* caption, MessageIcon icon) {
    window.boxes.push_back({owner, text, caption, icon, text});
}

void UpdateMenuForStatus(OwnerWindow owner, KeyStatus status) {
    window.menuUpdates.emplace_back(owner, status);
}
