// list and status: what the keys are, read from each key.
#include "commands.h"
#include "messages.h"

Outcome ListKeys() {
    Outcome outcome;
    outcome.keys = ReadEveryKey();
    if (outcome.keys.empty()) Fail(outcome, ExitCode::NoKey, Say(Message::NoKeyAttached));
    // Every key is listed, and each that could not be read said why; the
    // first of them gives the exit code.
    for (const KeyFacts& key : outcome.keys) {
        if (Answered(key)) continue;
        const ExitCode code = outcome.code == ExitCode::Success ? FailureCode(key) : outcome.code;
        Fail(outcome, code, FailureMessage(key));
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
