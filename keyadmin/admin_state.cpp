// The module-level records of the key administration.
#include "key_identity.h"
#include "password_buffers.h"
#include "secret_wipe.h"

KeyIdentity keyIdentity;
PasswordBuffers passwordBuffers;

void WipePasswordBuffers() {
    WipeSecret(passwordBuffers.loginPassword);
    WipeSecret(passwordBuffers.storedKeyPassword);
    WipeSecret(passwordBuffers.newPasswordText);
    WipeSecret(passwordBuffers.typedCurrentPassword);
    WipeSecret(passwordBuffers.confirmationText);
}
