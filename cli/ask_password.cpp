// Prompts, refusals and tries.
#include "ask_password.h"

#include "console.h"
#include "password_input.h"

namespace {

constexpr int kTries = 3;

}  // namespace

Asked AskPassword(Message prompt, TextField& text) {
    const bool terminal = PasswordsFromTerminal();
    for (int tries = 1;; ++tries) {
        const PasswordRead read = ReadPassword(Say(prompt), text);
        if (read == PasswordRead::Taken) return {ExitCode::Success, {}};
        if (read == PasswordRead::Ended) return {ExitCode::Usage, Say(Message::InputEnded)};
        if (read == PasswordRead::Interrupted)
            return {ExitCode::Interrupted, Say(Message::InterruptedNothingChanged)};
        const std::string refusal =
            Say(read == PasswordRead::TooLong ? Message::TextTooLong : Message::TextNotCp949);
        if (!terminal || tries == kTries) return {ExitCode::Usage, refusal};
        WriteErr(refusal + " " + Say(Message::TypeAgain) + "\n");
    }
}
