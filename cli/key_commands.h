// The keys as the commands see them. Every attached key is listed by the
// transport, and each one's serial number is read through the key's own
// command. A command for one key takes the only one attached, or the one
// whose serial number --serial gives; with several and no --serial it
// changes nothing and says which are there. The key chosen is the key read
// and changed: from the choice on the key link expects its serial number
// (ExpectKeySerial), and another key found at its place ends the command
// with nothing read from it or written to it. init --each looks at keys and
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
    std::string connection;  // when known: the transport's name for this stay at `path`
    DiscoveryFailure failure = DiscoveryFailure::None;  // why it could not be opened
    KeyIdentity identity;                        // status NotFound unless every read succeeded
    bool loginIdRead = false;                    // the status was read whole, login ID included
    RepairOutcome repair = RepairOutcome::None;  // a pending repair the look settled
    SerialNumber otherKey{};                     // OtherKey: the serial number found instead
};

inline bool Answered(const KeyFacts& key) {
    return key.identity.status != KeyStatus::NotFound;
}

// Reads the status of the key at `path` and closes it again; with a serial
// number expected (ExpectKeySerial), of that key only. ReadChosenKeyFacts
// reads that of the key chosen before (ChooseKey), at `path`, over the
// connection still open to it.
KeyFacts ReadKeyFacts(const std::string& path);
KeyFacts ReadChosenKeyFacts(const std::string& path);

// The exit code and the message for a key that did not answer.
ExitCode FailureCode(const KeyFacts& key);
std::string FailureMessage(const KeyFacts& key);

struct KeyChoice {
    ExitCode code = ExitCode::Success;
    std::string message;         // why no key was chosen
    KeyFacts key;                // the chosen key, when code is Success
    std::vector<KeyFacts> keys;  // every key looked at, when there were several
};

// Chooses the key by its serial number alone (four exchanges; the status of
// each key only to list several). On success the key is open, and the key
// link takes only its path and expects its serial number from now on.
KeyChoice ChooseKey(const std::optional<SerialNumber>& serial);

struct ChosenKeyChange {
    ChangeResult result;
    KeyFacts lost;  // why the key was gone or mute, when it was
};

// Changes `field` of `key`, at the path chosen last (ChooseKey, or the look
// at it), that key and no other, with the typed texts (passwords.h), then
// closes the key and wipes the typed texts and the
// password buffers, so that none outlives the change (a wait for a repair
// may follow, and may be long).
ChosenKeyChange ChangeChosenKey(const KeyFacts& key, PasswordField field,
                                FirstKeyPassword firstKeyPassword);
