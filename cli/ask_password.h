// Asking for a password. On a terminal, a refused text may be typed again
// (three tries in all); from standard input, the first refusal ends the
// command, before anything on the key was changed.
#pragma once

#include <string>

#include "exit_codes.h"
#include "key_identity.h"
#include "messages.h"

struct Asked {
    ExitCode code;        // Success when a password was taken
    std::string message;  // why not
};

Asked AskPassword(Message prompt, TextField& text);
