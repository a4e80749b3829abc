// The keys as the commands see them. Every attached key is listed by the
// transport, and each one's serial number is read through the key's own
// command. A command for one key takes the only one attached, or the one
// whose serial number --serial gives; with several and no --serial it
// changes nothing and says which are there. init --each looks at keys and
// changes them with the same procedures.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "key_identity.h"
#include "key_link.h"
#include "key_operations.h"

// What one look at a key found.
struct KeyFacts {
    std::string path;
    DiscoveryFailure failure = DiscoveryFailure::None;  // why it could not be opened
    KeyIdentity identity;                        // status NotFound unless every read succeeded
    RepairOutcome repair = RepairOutcome::None;  // a pending repair the look settled
};

inline bool Answered(const KeyFacts& key) {
    return key.identity.status != KeyStatus::NotFound;
}

// Reads the status of the key at `path` and closes it again.
KeyFacts ReadKeyFacts(const std::string& path);

// The exit code and the message for a key that did not answer.
ExitCode FailureCode(const KeyFacts& key);
std::string FailureMessage(const KeyFacts& key);

struct KeyChoice {
    ExitCode code = ExitCode::Success;
    std::string message;         // why no key was chosen
    KeyFacts key;                // the chosen key, when code is Success
    std::vector<KeyFacts> keys;  // every key looked at, when there were several
};

// Chooses the key; on success the key link takes only its path from now on.
KeyChoice ChooseKey(const std::optional<SerialNumber>& serial);

struct ChosenKeyChange {
    ChangeResult result;
    KeyFacts lost;  // why the key was gone or mute, when it was
};

// Changes `field` of `key` with the typed texts (passwords.h), then closes
// the key and wipes the typed texts and the password buffers, so that none
// outlives the change (a wait for a repair may follow, and may be long).
ChosenKeyChange ChangeChosenKey(const KeyFacts& key, PasswordField field,
                                FirstKeyPassword firstKeyPassword);
