// One change of a chosen key with the passwords the command asked for.
#pragma once

#include "key_choice.h"
#include "key_operations.h"

struct ChosenKeyChange {
    ChangeResult result;
    KeyFacts lost;  // why the key was gone or mute, when it was
};

// Changes `field` of `key` with the typed texts (typed_texts.h), then closes
// the key and wipes the typed texts and the password buffers, so that none
// outlives the change (a wait for a repair may follow, and may be long).
ChosenKeyChange ChangeChosenKey(const KeyFacts& key, PasswordField field,
                                FirstKeyPassword firstKeyPassword);
