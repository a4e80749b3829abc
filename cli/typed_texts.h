// The passwords a command asked for, held from the prompt until the key
// administration takes them (its TakeText functions), and wiped afterwards.
#pragma once

#include "key_identity.h"

struct TypedTexts {
    TextField currentKeyPassword;
    TextField newPassword;
    TextField confirmation;
};

extern TypedTexts typedTexts;

void TakeTypedCurrentKeyPassword(TextField& text);
void TakeTypedNewPassword(TextField& text);
void TakeTypedConfirmation(TextField& text);

void WipeTypedTexts();
