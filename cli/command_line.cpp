// One command per action on the key, parsed by CLI11. The parser's own
// idiom (exceptions for --help and for usage errors) stays in this file; no
// secret ever passes through it, since passwords are never arguments.
#include "command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <sstream>
#include <string>
#include <string_view>

#include "key_operations.h"
#include "password_buffers.h"
#include "platform.h"

namespace {

struct Arguments {
    bool json = false;
    std::string serial;
    bool each = false;
    bool random = false;
    bool csv = false;
    unsigned count = 0;
};

// The parts of --help that say more than the options: how passwords are
// read, and the exit codes in the user's language.
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

void AddInitOptions(CLI::App& init, Arguments& arguments) {
    CLI::Option* each = init.add_flag("--each", arguments.each, Say(Message::EachOption));
    init.get_option("--serial")->excludes(each);
    init.add_flag("--random", arguments.random, Say(Message::RandomOption))->needs(each);
    init.add_option("--count", arguments.count, Say(Message::CountOption))
        ->needs(each)
        ->check(CLI::PositiveNumber);
    init.add_flag("--csv", arguments.csv, Say(Message::CsvOption))->needs(each);
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The serial number in `text`, 8 hex digits in upper or lower case, serial
// byte 1 first; none otherwise.
SerialChoice ParseSerial(std::string_view text) {
    if (text.size() != 8) return std::nullopt;
    SerialNumber serial{};
    for (std::size_t i = 0; i < 8; ++i) {
        const int digit = DigitValue(text[i]);
        if (digit < 0) return std::nullopt;
        serial[i / 2] = static_cast<std::uint8_t>(serial[i / 2] << 4 | digit);
    }
    return serial;
}

bool SerialGiven(const CLI::App& app) {
    for (const CommandEntry& command : kCommandTable)
        if (command.takesSerial && app.got_subcommand(command.name) &&
            app.get_subcommand(command.name)->count("--serial") > 0)
            return true;
    return false;
}

int UsageFailure(const std::string& why, bool json) {
    Outcome outcome;
    Fail(outcome, ExitCode::Usage, Say(Message::UsageError, {why}));
    outcome.messages.push_back(Say(Message::SeeHelp));
    return static_cast<int>(Present(outcome, json ? OutputFormat::Json : OutputFormat::Lines));
}

PasswordListing ListingOf(const Arguments& arguments) {
    if (arguments.json) return PasswordListing::Json;
    return arguments.csv ? PasswordListing::Csv : PasswordListing::Lines;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv) {
    Arguments arguments;
    CLI::App app(Say(Message::ProgramSummary), "keyadmin-cli");
    app.set_version_flag("--version", KEYADMIN_VERSION);
    app.add_flag("--json", arguments.json, Say(Message::JsonOption));
    const std::string footer = HelpFooter();
    app.footer(footer);
    app.require_subcommand(1);
    app.fallthrough();
    for (const CommandEntry& command : kCommandTable) {
        CLI::App* sub = app.add_subcommand(command.name, Say(command.summary));
        sub->footer(footer);
        if (command.takesSerial)
            sub->add_option("--serial", arguments.serial, Say(Message::SerialOption));
    }
    AddInitOptions(*app.get_subcommand("init"), arguments);

    // Asked for before the parse, so that a usage error is a JSON document too.
    const bool jsonAsked = std::any_of(argv + std::min(argc, 1), argv + argc, [](const char* a) {
        return std::string_view(a) == "--json";
    });
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() != 0) return UsageFailure(error.what(), jsonAsked);
        std::ostringstream out, err;
        app.exit(error, out, err);
        return WriteOut(out.str()) ? 0 : static_cast<int>(ExitCode::Failure);
    }
    if (arguments.csv && arguments.json)
        return UsageFailure("--csv excludes --json", arguments.json);
    // An empty --serial (an unset variable in a script) names no key: it is
    // refused as any other text that is not a serial number.
    SerialChoice serial;
    if (SerialGiven(app) && !(serial = ParseSerial(arguments.serial)))
        return UsageFailure(Say(Message::BadSerial), arguments.json);

    ExitCode code = ExitCode::Usage;
    if (arguments.each) {
        code = ProvisionKeys({arguments.count, arguments.random, ListingOf(arguments)});
    } else {
        for (const CommandEntry& command : kCommandTable)
            if (app.got_subcommand(command.name))
                code = Present(command.run(serial),
                               arguments.json ? OutputFormat::Json : OutputFormat::Lines);
    }
    WipePasswordBuffers();
    ForgetKeyPasswordRepair();
    return static_cast<int>(code);
}
