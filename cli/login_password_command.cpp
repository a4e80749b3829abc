// show-login-password: the key password is checked against the key's, and
// the login password read from the key only then.
#include "ask_password.h"
#include "commands.h"
#include "key_transport.h"
#include "messages.h"
#include "password_buffers.h"
#include "typed_texts.h"

Outcome ShowLoginPassword(const SerialChoice& serial) {
    const KeyChoice choice = ChooseKey(serial);
    if (choice.code != ExitCode::Success) return NotChosen(choice);
    Outcome outcome;
    outcome.key = choice.key;
    const std::string serialText = SerialText(choice.key.identity.serial);
    if (choice.key.identity.status == KeyStatus::Initial) {
        outcome.code = ExitCode::WrongKeyState;
        outcome.messages.push_back(Say(Message::KeyNeedsInit, {serialText}));
        return outcome;
    }
    const Asked asked = AskPassword(Message::PromptKeyPassword, typedTexts.currentKeyPassword);
    if (asked.code != ExitCode::Success) {
        outcome.code = asked.code;
        outcome.messages.push_back(asked.message);
        return outcome;
    }
    const UnlockResult result = UnlockLoginPassword(TakeTypedCurrentKeyPassword);
    const KeyFacts lost = LostKey(choice.key.path);
    CloseKey();
    WipeTypedTexts();
    switch (result.outcome) {
        case UnlockOutcome::Unlocked:
            outcome.loginPassword = &passwordBuffers.loginPassword;
            break;
        case UnlockOutcome::WrongKeyPassword:
            outcome.code = ExitCode::WrongKeyPassword;
            outcome.messages.push_back(Say(Message::WrongKeyPassword));
            break;
        case UnlockOutcome::NotFound:
            outcome.code = FailureCode(lost);
            outcome.messages.push_back(FailureMessage(lost));
            break;
    }
    return outcome;
}
