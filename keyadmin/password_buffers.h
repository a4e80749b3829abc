// The password texts of the operations: typed, read from the key, or to be
// written to it. The front end that runs an operation wipes them
// (WipePasswordBuffers) once it has presented the outcome, so between
// operations they are all zero.
#pragma once

#include "key_identity.h"

struct PasswordBuffers {
    TextField loginPassword;
    TextField storedKeyPassword;
    TextField newPasswordText;
    TextField typedCurrentPassword;
    TextField confirmationText;
};

extern PasswordBuffers passwordBuffers;

// Zeros all password buffers.
void WipePasswordBuffers();
