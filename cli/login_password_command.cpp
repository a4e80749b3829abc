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
        Fail(outcome, ExitCode::WrongKeyState, Say(Message::KeyNeedsInit, {serialText}));
        return outcome;
    }
    const Asked asked = AskPassword(Message::PromptKeyPassword, typedTexts.currentKeyPassword);
    if (asked.code != ExitCode::Success) {
        Fail(outcome, asked.code, asked.message);
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
            Fail(outcome, ExitCode::WrongKeyPassword, Say(Message::WrongKeyPassword));
            break;
        case UnlockOutcome::NotFound:
            FailLost(outcome, lost);
            break;
    }
    return outcome;
}
