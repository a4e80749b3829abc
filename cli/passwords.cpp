// Passwords: typed lines, the prompts that ask for them, the typed texts,
// and random key passwords.
#include "passwords.h"

#include <optional>

#include "key_cell_map.h"
#include "platform.h"
#include "secret_wipe.h"
#include "wipe_bytes.h"

namespace {

constexpr int kTries = 3;

// The largest multiple of the alphabet's size that a byte can hold: a byte
// at or above it would favour the first characters, and is drawn again.
constexpr unsigned kUsableBytes =
    256 / kRandomPasswordAlphabet.size() * kRandomPasswordAlphabet.size();

// A new key password is refused empty (an unset variable in a script), and
// beginning with the byte that marks a factory-initial key: the key would
// look factory-initial, and init would set it again without its password.
bool AsksNewKeyPassword(Message prompt) {
    return prompt == Message::PromptNewKeyPassword || prompt == Message::PromptEachKeyPassword;
}

// Why the line is not taken as the text `prompt` asks for; none when it is,
// and `text` then holds it.
std::optional<Message> Refusal(Message prompt, const TypedLine& line, TextField& text) {
    const TypedText typed =
        line.cut ? TypedText::TooLong
                 : EncodeTypedText(std::string_view(line.bytes.data(), line.length), text);
    if (typed == TypedText::TooLong) return Message::TextTooLong;
    if (typed == TypedText::NotCp949) return Message::TextNotCp949;
    if (!AsksNewKeyPassword(prompt)) return std::nullopt;
    if (text[0] == 0) return Message::KeyPasswordEmpty;
    if (text[0] == kFactoryInitialMark) return Message::KeyPasswordFactoryMark;
    return std::nullopt;
}

}  // namespace

TypedTexts typedTexts;

void KeepByte(TypedLine& line, char byte) {
    if (line.length < line.bytes.size())
        line.bytes[line.length++] = byte;
    else
        line.cut = true;
}

void DropLineEnd(TypedLine& line) {
    if (line.length > 0 && line.bytes[line.length - 1] == '\r') --line.length;
}

LineRead ReadTypedLine(ReadByte next, TypedLine& line) {
    bool any = false;
    for (;;) {
        char byte = 0;
        const ByteRead read = next(byte);
        if (read == ByteRead::Interrupted) return LineRead::Interrupted;
        if (read == ByteRead::Ended) return any ? LineRead::Line : LineRead::Ended;
        any = true;
        if (byte == '\n') break;
        KeepByte(line, byte);
        WipeBytes(&byte, 1);
    }
    DropLineEnd(line);
    return LineRead::Line;
}

Asked AskPassword(Message prompt, TextField& text) {
    const bool terminal = PasswordsFromTerminal();
    for (int tries = 1;; ++tries) {
        WipeSecret(text);
        // A Ctrl-C noted while the key was looked at is not lost when the
        // line is already waiting on standard input.
        TypedLine line;
        const LineRead read =
            InterruptRequested() ? LineRead::Interrupted : ReadPasswordLine(Say(prompt), line);
        const std::optional<Message> refusal =
            read == LineRead::Line ? Refusal(prompt, line, text) : std::nullopt;
        WipeBytes(line.bytes.data(), line.bytes.size());
        if (read == LineRead::Ended) return {ExitCode::Usage, Say(Message::InputEnded)};
        if (read == LineRead::Interrupted)
            return {ExitCode::Interrupted, Say(Message::InterruptedNothingChanged)};
        if (!refusal) return {ExitCode::Success, {}};
        WipeSecret(text);
        if (!terminal || tries == kTries) return {ExitCode::Usage, Say(*refusal)};
        WriteErr(Say(*refusal) + " " + Say(Message::TypeAgain) + "\n");
    }
}

void TakeTypedCurrentKeyPassword(TextField& text) {
    text = typedTexts.currentKeyPassword;
}

void TakeTypedNewPassword(TextField& text) {
    text = typedTexts.newPassword;
}

void TakeTypedConfirmation(TextField& text) {
    text = typedTexts.confirmation;
}

void WipeTypedTexts() {
    WipeSecret(typedTexts.currentKeyPassword);
    WipeSecret(typedTexts.newPassword);
    WipeSecret(typedTexts.confirmation);
}

bool DrawRandomPassword(TextField& password) {
    password.fill(0);
    std::array<std::uint8_t, 32> pool;
    std::size_t used = pool.size();
    std::size_t length = 0;
    bool drawn = true;
    while (drawn && length < kRandomPasswordLength) {
        if (used == pool.size()) {
            drawn = FillRandom(pool.data(), pool.size());
            used = 0;
            continue;
        }
        const std::uint8_t byte = pool[used++];
        if (byte < kUsableBytes)
            password[length++] = kRandomPasswordAlphabet[byte % kRandomPasswordAlphabet.size()];
    }
    WipeBytes(pool.data(), pool.size());
    if (!drawn) WipeBytes(password.data(), password.size());
    return drawn;
}
