// The login-password display in the window: unlock with the typed key
// password, then show the login password stored on the key.
#include <algorithm>
#include <array>
#include <string_view>

#include "admin_texts.h"
#include "key_admin.h"
#include "wipe_bytes.h"

namespace {

// The shown text holds the login password; wiped once the box is closed.
std::array<char, 256> loginPasswordMessage{};

// The format's text before and after its one "%s".
constexpr std::string_view kFormat = kLoginPasswordFormat;
constexpr std::size_t kValueAt = kFormat.find("%s");
static_assert(kValueAt != std::string_view::npos);
constexpr std::string_view kBeforeValue = kFormat.substr(0, kValueAt);
constexpr std::string_view kAfterValue = kFormat.substr(kValueAt + 2);

// The message: the format with the login password in place of its "%s", cut
// to fit with its terminator. The password is put in, never formatted.
void ComposeMessage(const char* loginPassword) {
    const std::string_view parts[] = {kBeforeValue, loginPassword, kAfterValue};
    std::size_t length = 0;
    for (const std::string_view part : parts) {
        const std::size_t taken = std::min(part.size(), loginPasswordMessage.size() - 1 - length);
        std::copy_n(part.data(), taken, loginPasswordMessage.data() + length);
        length += taken;
    }
    loginPasswordMessage[length] = '\0';
}

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
    ComposeMessage(passwordBuffers.loginPassword.data());
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
