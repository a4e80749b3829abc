// The login-password display: unlock with the typed key password, then show
// the login password stored on the key.
#include <array>
#include <cstdio>

#include "admin_texts.h"
#include "key_admin.h"
#include "key_fields.h"
#include "key_link.h"
#include "secret_wipe.h"

namespace {

// The shown text holds the login password; wiped once the box is closed.
std::array<char, 256> loginPasswordMessage{};

void ReportKeyNotFound(OwnerWindow window) {
    keyIdentity.status = KeyStatus::NotFound;
    ShowMessage(window, kKeyNotFoundMessage, kViewLoginPasswordCaption, MessageIcon::Warning);
}

void UnlockAndShow(OwnerWindow window) {
    PasswordBuffers& text = passwordBuffers;
    OpenKey(kKeyGeneration);
    if (IsKeyPresent() != 0 || !ReadField(kKeyPasswordBase, text.storedKeyPassword))
        return ReportKeyNotFound(window);
    TakeEditText(PasswordEdit::Current, text.typedCurrentPassword);
    if (!SameText(text.storedKeyPassword, text.typedCurrentPassword)) {
        ShowMessage(window, kWrongKeyPasswordMessage, kViewLoginPasswordCaption,
                    MessageIcon::Warning);
        return;
    }
    if (!ReadField(kLoginPasswordBase, text.loginPassword)) return ReportKeyNotFound(window);
    // The login password is an argument, never part of the format.
    std::snprintf(loginPasswordMessage.data(), loginPasswordMessage.size(), kLoginPasswordFormat,
                  text.loginPassword.data());
    ShowMessage(window, loginPasswordMessage.data(), kViewLoginPasswordCaption,
                MessageIcon::Information);
}

}  // namespace

int ShowLoginPassword(OwnerWindow window) {
    UnlockAndShow(window);
    WipeBytes(loginPasswordMessage.data(), loginPasswordMessage.size());
    WipePasswordBuffers();
    WipeReportBuffers();
    return 1;
}
