// list and status: what the keys are, read from each key.
#include "commands.h"
#include "messages.h"

Outcome ListKeys() {
    Outcome outcome;
    outcome.keys = ReadEveryKey();
    if (outcome.keys.empty()) {
        outcome.code = ExitCode::NoKey;
        outcome.messages.push_back(Say(Message::NoKeyAttached));
    }
    // Every key is listed; the first that could not be read gives the exit code.
    for (const KeyFacts& key : outcome.keys) {
        if (Answered(key)) continue;
        if (outcome.code == ExitCode::Success) outcome.code = FailureCode(key);
        outcome.messages.push_back(FailureMessage(key));
    }
    return outcome;
}

Outcome ShowStatus(const SerialChoice& serial) {
    const KeyChoice choice = ChooseKey(serial);
    if (choice.code != ExitCode::Success) return NotChosen(choice);
    Outcome outcome;
    outcome.key = choice.key;
    outcome.keyFactsShown = true;
    return outcome;
}
