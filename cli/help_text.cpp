// The footer of every command's --help.
#include "help_text.h"

#include "exit_codes.h"
#include "messages.h"

std::string HelpFooter() {
    std::string footer =
        Say(Message::PasswordsNote) + "\n\n" + Say(Message::ExitCodesHeading) + "\n";
    for (const ExitCodeEntry& entry : kExitCodes) {
        const std::string code = std::to_string(static_cast<int>(entry.code));
        footer += std::string(5 - code.size(), ' ') + code + "  " +
                  std::string(InLanguage(entry.english, entry.korean)) + "\n";
    }
    return footer;
}
