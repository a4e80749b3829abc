// What a command ends with: its exit code, what it tells the user, and the
// facts it shows, for present_outcome.h to write as lines or as JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "key_choice.h"
#include "key_operations.h"

struct ChangeMade {
    PasswordField field;
    bool firstKeyPassword;
    FieldAfter after;  // what the field holds afterwards
};

struct Outcome {
    ExitCode code = ExitCode::Success;
    std::vector<std::string> messages;         // for a person, in order
    std::vector<KeyFacts> keys;                // every key listed
    std::optional<KeyFacts> key;               // the key looked at or acted on
    bool keyFactsShown = false;                // the lines give the key's facts (status)
    const TextField* loginPassword = nullptr;  // shown; the command wipes it afterwards
    std::optional<ChangeMade> change;
    std::optional<RepairOutcome> repair;  // of a repair waited for
};

// Ends the outcome with a failure and what to tell of it.
inline void Fail(Outcome& outcome, ExitCode code, std::string message) {
    outcome.code = code;
    outcome.messages.push_back(std::move(message));
}

// Ends it with the failure of a key that did not answer.
inline void FailLost(Outcome& outcome, const KeyFacts& key) {
    Fail(outcome, FailureCode(key), FailureMessage(key));
}

// The outcome of a command whose key could not be chosen.
inline Outcome NotChosen(const KeyChoice& choice) {
    Outcome outcome;
    outcome.code = choice.code;
    outcome.messages.push_back(choice.message);
    outcome.keys = choice.keys;
    return outcome;
}
