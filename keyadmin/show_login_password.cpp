// The login-password display in the window: unlock with the typed key
// password, then show the login password stored on the key.
#include <array>
#include <cstdio>

#include "admin_texts.h"
#include "key_admin.h"
#include "wipe_bytes.h"

namespace {

// The shown text holds the login password; wiped once the box is closed.
std::array<char, 256> loginPasswordMessage{};

void Warn(OwnerWindow window, const char* text) {
    ShowMessage(window, text, kViewLoginPasswordCaption, MessageIcon::Warning);
}

void Present(OwnerWindow window, UnlockOutcome outcome) {
    switch (outcome) {
        case UnlockOutcome::NotFound:
            keyIdentity.status = KeyStatus::NotFound;
            return Warn(window, kKeyNotFoundMessage);
        case UnlockOutcome::WrongKeyPassword:
            return Warn(window, kWrongKeyPasswordMessage);
        case UnlockOutcome::Unlocked:
            break;
    }
    // The login password is an argument, never part of the format.
    std::snprintf(loginPasswordMessage.data(), loginPasswordMessage.size(), kLoginPasswordFormat,
                  passwordBuffers.loginPassword.data());
    ShowMessage(window, loginPasswordMessage.data(), kViewLoginPasswordCaption,
                MessageIcon::Information);
    WipeBytes(loginPasswordMessage.data(), loginPasswordMessage.size());
}

}  // namespace

int ShowLoginPassword(OwnerWindow window) {
    const UnlockResult result = UnlockLoginPassword(TakeEdit<PasswordEdit::Current>);
    ShowRepairOutcome(window, result.repair);
    Present(window, result.outcome);
    WipePasswordBuffers();
    return 1;
}
