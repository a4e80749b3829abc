// What the command line says of itself and of wrong arguments: --help of
// every command with the exit codes, the README's table of the same codes,
// and usage errors (as a JSON document too when --json was asked for).
#include <fstream>
#include <sstream>

#include "cli_fixture.h"
#include "command_line.h"
#include "exit_codes.h"

namespace {

using UsageTest = CliTest;

std::string ExitCodeLine(const ExitCodeEntry& entry, Language language) {
    const std::string code = std::to_string(static_cast<int>(entry.code));
    return std::string(5 - code.size(), ' ') + code + "  " +
           std::string(language == Language::Korean ? entry.korean : entry.english) + "\n";
}

TEST_F(UsageTest, HelpListsTheCommandsAndTheExitCodes) {
    EXPECT_EQ(0, Run({"--help"}));
    for (const CommandEntry& command : kCommandTable)
        EXPECT_TRUE(Has(Out(), command.name)) << command.name;
    for (const ExitCodeEntry& entry : kExitCodes)
        EXPECT_TRUE(Has(Out(), ExitCodeLine(entry, Language::English))) << entry.name;
    EXPECT_TRUE(Has(Out(), "never from arguments or the environment")) << Out();
}

class CommandHelpTest : public CliTest, public ::testing::WithParamInterface<CommandEntry> {};

TEST_P(CommandHelpTest, HelpOfEachCommand) {
    const CommandEntry& command = GetParam();
    EXPECT_EQ(0, Run({command.name, "--help"}));
    EXPECT_TRUE(Has(Out(), Say(command.summary))) << Out();
    EXPECT_EQ(command.takesSerial, Has(Out(), "--serial TEXT")) << Out();
    for (const ExitCodeEntry& entry : kExitCodes)
        EXPECT_TRUE(Has(Out(), ExitCodeLine(entry, Language::English))) << entry.name;
    EXPECT_TRUE(inproc::Events().empty()) << "--help does not look at the key";
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandHelpTest, ::testing::ValuesIn(kCommandTable),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::erase(name, '-');
                             return name;
                         });

TEST_F(UsageTest, HelpInKorean) {
    UseLanguage(Language::Korean);
    EXPECT_EQ(0, Run({"init", "--help"}));
    EXPECT_TRUE(Has(Out(), "초기화 상태의 인증키에 첫 인증키 암호")) << Out();
    EXPECT_TRUE(Has(Out(), "종료 코드:\n")) << Out();
    for (const ExitCodeEntry& entry : kExitCodes)
        EXPECT_TRUE(Has(Out(), ExitCodeLine(entry, Language::Korean))) << entry.name;
}

TEST_F(UsageTest, TheReadmeListsTheExitCodes) {
    std::ifstream file(KEYADMIN_SOURCE_DIR "/README.md");
    std::stringstream readme;
    readme << file.rdbuf();
    for (const ExitCodeEntry& entry : kExitCodes) {
        const std::string row = "| " + std::to_string(static_cast<int>(entry.code)) + " | `" +
                                std::string(entry.name) + "` | " + std::string(entry.english) +
                                " |\n";
        EXPECT_TRUE(Has(readme.str(), row)) << row;
    }
}

TEST_F(UsageTest, Version) {
    EXPECT_EQ(0, Run({"--version"}));
    EXPECT_EQ(KEYADMIN_VERSION "\n", Out());
}

struct UsageCase {
    const char* name;
    std::vector<const char*> arguments;
};

class UsageErrorTest : public CliTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageErrorTest, ExitsWithTheUsageCodeAndTouchesNoKey) {
    InUse(kSerialA);
    std::vector<const char*> argv{"keyadmin-cli"};
    argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    EXPECT_EQ(2, RunCommandLine(static_cast<int>(argv.size()), argv.data()));
    EXPECT_TRUE(Has(Err(), "usage error: ")) << Err();
    EXPECT_TRUE(Has(Err(), "'keyadmin-cli --help' lists the commands.")) << Err();
    EXPECT_EQ("", Out());
    EXPECT_TRUE(inproc::Events().empty());
}

TEST_P(UsageErrorTest, AsJsonToo) {
    std::vector<const char*> argv{"keyadmin-cli", "--json"};
    argv.insert(argv.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    EXPECT_EQ(2, RunCommandLine(static_cast<int>(argv.size()), argv.data()));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("usage-error", document["outcome"]);
    EXPECT_EQ(2, document["exitCode"]);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageErrorTest,
    ::testing::Values(UsageCase{"NoCommand", {}}, UsageCase{"UnknownCommand", {"unlock"}},
                      UsageCase{"TwoCommands", {"list", "status"}},
                      UsageCase{"PasswordAsArgument", {"show-login-password", "1234"}},
                      UsageCase{"SerialOfList", {"list", "--serial", "4b41d001"}},
                      UsageCase{"RandomWithoutEach", {"init", "--random"}},
                      UsageCase{"CountOfNoKeys", {"init", "--each", "--count", "0"}},
                      UsageCase{"SerialWithEach", {"init", "--each", "--serial", "4b41d001"}},
                      UsageCase{"CsvWithoutEach", {"init", "--csv"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(UsageTest, CsvExcludesJson) {
    Fresh(kSerialA);
    EXPECT_EQ(2, Run({"init", "--each", "--csv", "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("usage-error", document["outcome"]);
    EXPECT_TRUE(inproc::Events().empty());
}

}  // namespace
