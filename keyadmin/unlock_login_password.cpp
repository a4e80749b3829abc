// Unlocking the key with a typed key password to read its login password.
#include "find_key.h"
#include "key_fields.h"
#include "key_link.h"
#include "typed_text.h"

namespace {

UnlockOutcome Unlock(TakeText typedKeyPassword) {
    PasswordBuffers& text = passwordBuffers;
    if (!ReadField(kKeyPasswordBase, text.storedKeyPassword)) return UnlockOutcome::NotFound;
    TakeTyped(typedKeyPassword, text.typedCurrentPassword);
    if (!SameText(text.storedKeyPassword, text.typedCurrentPassword))
        return UnlockOutcome::WrongKeyPassword;
    if (!ReadField(kLoginPasswordBase, text.loginPassword)) return UnlockOutcome::NotFound;
    return UnlockOutcome::Unlocked;
}

}  // namespace

UnlockResult UnlockLoginPassword(TakeText typedKeyPassword) {
    const FoundKey key = FindKey(false);
    const UnlockResult result{key.answered ? Unlock(typedKeyPassword) : UnlockOutcome::NotFound,
                              key.repair};
    WipeReportBuffers();
    return result;
}
