// The window operations (keyadmin/admin_window_ops.h) on the page, so that
// the window's own operations (key_admin.h) run in the page unchanged: the
// status box is the page's status line, a message box is a dialog of the
// page that the operation waits on until it is closed (as a modal box
// holds the window), the edits are the form's fields, and the menu is the
// page's command buttons. Texts go through page_texts.h: the window's own
// in Korean, their English otherwise.
#include "page_window_ops.h"

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "admin_texts.h"
#include "admin_window_ops.h"
#include "key_cell_map.h"
#include "page_texts.h"
#include "wipe_bytes.h"

namespace {

// What was typed into each field, in code page 949, put here by the page
// just before an operation (PageTypedText) and wiped when it ends.
std::array<TextField, 4> typedTexts{};

PasswordEdit shownNewPasswordEdit = PasswordEdit::NewKey;

// The JavaScript in these stays as written (clang-format would break it).
// clang-format off
EM_JS(void, ShowStatusOnPage, (const char* text),
      { Module.pageView.showStatus(UTF8ToString(text)); });

EM_ASYNC_JS(void, ShowNoticeOnPage, (const char* caption, const char* text, bool warning), {
    await Module.pageView.showNotice(UTF8ToString(caption), UTF8ToString(text), warning);
});

// The login password's bytes (code page 949) go to the page as they are;
// the page decodes them into the dialog and wipes its copy when it closes.
EM_ASYNC_JS(void, ShowLoginPasswordOnPage,
            (const char* caption, const char* format, const char* password, int length), {
                const bytes = HEAPU8.slice(password, password + length);
                await Module.pageView.showLoginPassword(UTF8ToString(caption), UTF8ToString(format),
                                                        bytes);
                bytes.fill(0);
            });

EM_JS(void, EmptyFieldOnPage, (int edit), { Module.pageView.emptyField(edit); });

EM_JS(void, EnableCommandsOnPage, (bool showLogin, bool changeLogin, bool changeKey, int status),
      { Module.pageView.enableCommands(showLogin, changeLogin, changeKey, status); });
// clang-format on

// The window's menu by key status: no key, nothing; a factory-initial key,
// only its first key password.
struct CommandsForStatus {
    KeyStatus status;
    bool showLogin, changeLogin, changeKey;
};

constexpr std::array<CommandsForStatus, 3> kCommandsForStatus{{
    {KeyStatus::NotFound, false, false, false},
    {KeyStatus::Connected, true, true, true},
    {KeyStatus::Initial, false, false, true},
}};

std::string SerialOfKey() {
    return SerialLine(keyIdentity.serial);
}

}  // namespace

TextField& TypedTextOf(PasswordEdit edit) {
    return typedTexts[static_cast<std::size_t>(edit)];
}

void ShowNewPasswordEdit(PasswordEdit edit) {
    shownNewPasswordEdit = edit;
}

void WipeTypedTexts() {
    for (TextField& text : typedTexts) WipeBytes(text.data(), text.size());
}

void ShowPageNotice(const std::string& caption, const std::string& text, bool warning) {
    ShowNoticeOnPage(caption.c_str(), text.c_str(), warning);
}

void ShowPageStatus(const std::string& text) {
    ShowStatusOnPage(text.c_str());
}

void SetStatusText(const char* text) {
    ShowPageStatus(WindowText(text, SerialOfKey()));
}

int GetEditText(PasswordEdit edit, char* buffer, int limit) {
    if (limit <= 0) return 0;
    const TextField& text = TypedTextOf(edit);
    const std::size_t length =
        std::min(std::strlen(text.data()), static_cast<std::size_t>(limit - 1));
    std::copy_n(text.data(), length, buffer);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

void EmptyEdit(PasswordEdit edit) {
    WipeBytes(TypedTextOf(edit).data(), TypedTextOf(edit).size());
    EmptyFieldOnPage(static_cast<int>(edit));
}

bool IsEditVisible(PasswordEdit edit) {
    if (edit == PasswordEdit::NewKey || edit == PasswordEdit::NewLogin)
        return edit == shownNewPasswordEdit;
    return true;
}

void ShowMessage(OwnerWindow, const char* text, const char* caption, MessageIcon icon) {
    const std::string serial = SerialOfKey();
    const std::string shownCaption = WindowText(caption, serial);
    // The one box that carries the login password: its text is composed
    // here, around the password's own bytes, in the page's language.
    if (std::strcmp(caption, kViewLoginPasswordCaption) == 0 && icon == MessageIcon::Information) {
        const TextField& password = passwordBuffers.loginPassword;
        ShowLoginPasswordOnPage(shownCaption.c_str(),
                                WindowText(kLoginPasswordFormat, "%s").c_str(), password.data(),
                                static_cast<int>(std::strlen(password.data())));
        return;
    }
    ShowPageNotice(shownCaption, WindowText(text, serial), icon == MessageIcon::Warning);
}

void UpdateMenuForStatus(OwnerWindow, KeyStatus status) {
    for (const CommandsForStatus& commands : kCommandsForStatus)
        if (commands.status == status)
            EnableCommandsOnPage(commands.showLogin, commands.changeLogin, commands.changeKey,
                                 static_cast<int>(status));
}
