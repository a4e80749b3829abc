// The typed passwords, handed to the key administration.
#include "typed_texts.h"

#include "secret_wipe.h"

TypedTexts typedTexts;

void TakeTypedCurrentKeyPassword(TextField& text) {
    text = typedTexts.currentKeyPassword;
}

void TakeTypedNewPassword(TextField& text) {
    text = typedTexts.newPassword;
}

void TakeTypedConfirmation(TextField& text) {
    text = typedTexts.confirmation;
}

void WipeTypedTexts() {
    WipeSecret(typedTexts.currentKeyPassword);
    WipeSecret(typedTexts.newPassword);
    WipeSecret(typedTexts.confirmation);
}
