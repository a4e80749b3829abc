// The real keyadmin-cli on the Linux transport, against virtual keys on
// fake hidraw nodes (virtual-hidraw): two keys and a foreign device of the
// key's vendor, every command and every exit code, faults of the key and of
// the system, the terminal prompt through a pty, standard input, the JSON
// document through a JSON parser, and init --each over keys plugged in one
// after another. What each key holds at the end is read from virtual-hidraw.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "padded_field.h"

namespace {

using clirun::FieldOf;
using clirun::Invocation;
using Ran = clirun::Run;
using clirun::RunCli;

// hidraw0 a foreign device of the key's vendor, hidraw1 a key in use,
// hidraw2 a factory-initial key.
const std::string kTwoKeys =
    "--foreign vendor=10f7 product=1234 "
    "--key serial=4b41d001 key-password=1234 login-id=demo-user login-password=demo-pass1 "
    "--key serial=4b41d002";
const std::string kOneKey =
    "--key serial=4b41d001 key-password=1234 login-id=demo-user login-password=demo-pass1";

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A command run against some devices: its exit code, a text it shows (on
// standard output or standard error), and a field of one key afterwards.
struct Case {
    const char* name;
    std::string devices;
    std::vector<std::string> arguments;
    std::string input;
    int exitCode;
    std::string shown;
    int key = -1;  // hidraw number of the key whose field is checked
    int base = 0;
    std::string field{};
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class CommandTest : public ::testing::TestWithParam<Case> {};

TEST_P(CommandTest, ExitCodeOutputAndWhatTheKeyHolds) {
    const Case& c = GetParam();
    const Ran run = RunCli({c.devices, c.arguments, c.input});
    EXPECT_EQ(c.exitCode, run.exitCode) << run.out << run.err;
    EXPECT_TRUE(Has(run.out + run.err, c.shown)) << run.out << run.err;
    if (c.key >= 0) {
        ASSERT_EQ(1u, run.cells.count(c.key)) << "no cells of hidraw" << c.key;
        EXPECT_EQ(c.field, FieldOf(run.cells.at(c.key), c.base));
    }
}

TEST_P(CommandTest, AsJson) {
    const Case& c = GetParam();
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.begin(), "--json");
    const Ran run = RunCli({c.devices, arguments, c.input});
    EXPECT_EQ(c.exitCode, run.exitCode) << run.out << run.err;
    const nlohmann::json document = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << run.out;
    EXPECT_EQ(c.exitCode, document["exitCode"]);
    EXPECT_TRUE(document["outcome"].is_string());
}

const Case kCases[] = {
    {"ListTwoKeys",
     kTwoKeys,
     {"list"},
     "",
     0,
     "4b41d001  attached  login ID: demo-user  device: /dev/hidraw1\n"
     "4b41d002  factory-initial  device: /dev/hidraw2\n"},
    {"StatusOfSeveralKeys", kTwoKeys, {"status"}, "", 4, "choose one with --serial"},
    {"StatusBySerial",
     kTwoKeys,
     {"status", "--serial", "4b41d002"},
     "",
     0,
     "state: factory-initial"},
    {"NoSuchSerial",
     kTwoKeys,
     {"status", "--serial", "4b41d009"},
     "",
     3,
     "No attached key has the serial number 4b41d009."},
    {"NoKey", "--foreign vendor=10f7 product=1234", {"status"}, "", 3, "No key is attached."},
    {"ShowLoginPassword",
     kTwoKeys,
     {"show-login-password", "--serial", "4b41d001"},
     "1234\n",
     0,
     "login password: demo-pass1\n"},
    {"LastLineWithoutLineEnd",
     kOneKey,
     {"show-login-password"},
     "1234",
     0,
     "login password: demo-pass1\n"},
    {"WrongKeyPassword",
     kTwoKeys,
     {"show-login-password", "--serial", "4b41d001"},
     "4321\n",
     5,
     "The key password is wrong."},
    {"SetLoginPassword",
     kTwoKeys,
     {"set-login-password", "--serial", "4b41d001"},
     "1234\nnew-login\n",
     0,
     "the login password was changed",
     1,
     28,
     Padded("new-login")},
    {"SetKeyPassword",
     kTwoKeys,
     {"set-key-password", "--serial", "4b41d001"},
     "1234\n한글키\n한글키\n",
     0,
     "the key password was changed",
     1,
     40,
     Padded("\xC7\xD1\xB1\xDB\xC5\xB0")},
    {"ConfirmationMismatch",
     kTwoKeys,
     {"set-key-password", "--serial", "4b41d001"},
     "1234\nabcd\nabce\n",
     6,
     "its confirmation differ",
     1,
     40,
     Padded("1234")},
    {"FirstKeyPassword",
     kTwoKeys,
     {"init", "--serial", "4b41d002"},
     "first\nfirst\n",
     0,
     "its first key password was set",
     2,
     40,
     Padded("first")},
    {"InitOfAKeyInUse",
     kTwoKeys,
     {"init", "--serial", "4b41d001"},
     "x\nx\n",
     7,
     "already has a key password",
     1,
     40,
     Padded("1234")},
    {"TooLongAPassword",
     kOneKey,
     {"set-login-password"},
     "1234\nabcdefghijkl\n",
     2,
     "takes more than 11 bytes",
     0,
     28,
     Padded("demo-pass1")},
    {"BadSerial", kOneKey, {"status", "--serial", "4b41"}, "", 2, "8 hex digits"},
    {"KeyInUseByAnotherProcess", "--key held", {"status"}, "", 10, "is in use by another program"},
    {"UnparsableDescriptor",
     "--key descriptor=unparsable",
     {"list"},
     "",
     3,
     "--------  unusable  device: /dev/hidraw0"},
    {"ShortRead",
     "--key short-reply-after=0",
     {"status"},
     "",
     3,
     "The key at /dev/hidraw0 did not answer."},
    {"KeyPulledDuringTheStatus",
     "--key unplug-after=6",
     {"status"},
     "",
     3,
     "The key at /dev/hidraw0 did not answer."},
};

INSTANTIATE_TEST_SUITE_P(Commands, CommandTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliProgramTest, PermissionDeniedForAnotherUser) {
    if (geteuid() != 0) GTEST_SKIP() << "the node is this user's own: run as root";
    Invocation invocation{"--key mode=600", {"list"}, ""};
    invocation.asAnotherUser = true;
    const Ran run = RunCli(invocation);
    EXPECT_EQ(9, run.exitCode) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, "--------  permission denied  device: /dev/hidraw0")) << run.out;
    EXPECT_TRUE(Has(run.err, "udev rule")) << run.err;
}

TEST(CliProgramTest, ASilentKeyCostsOneTimeLimit) {
    const Ran run = RunCli({"--key silent-after=3", {"status"}, ""});
    EXPECT_EQ(3, run.exitCode) << run.out << run.err;
    EXPECT_EQ("The key at /dev/hidraw0 did not answer.\n", run.err);
    EXPECT_GE(run.elapsedMs, 3000);
    EXPECT_LT(run.elapsedMs, 2 * 3000) << "a second time-out";
}

TEST(CliProgramTest, ASilentKeyAmongTwoIsListedAndTheOtherToo) {
    const Ran run =
        RunCli({"--key serial=4b41d001 silent-after=0 --key serial=4b41d002", {"list"}, ""});
    EXPECT_EQ(3, run.exitCode) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, "--------  not answering  device: /dev/hidraw0")) << run.out;
    EXPECT_TRUE(Has(run.out, "4b41d002  factory-initial  device: /dev/hidraw1")) << run.out;
    EXPECT_LT(run.elapsedMs, 2 * 3000);
}

// The key pulled out at its write to cell 45: 18 reports for the status
// read (presence, 4 serial bytes, 12 login-ID cells, cell 40), 13 for the
// change's presence and key-password read, and 5 writes (cells 40..44).
// Pulled after 23 reports: the choice (4), its state (1), the presence test
// (1), the key password read (12) and five of the writes.
TEST(CliProgramTest, AKeyPulledDuringAKeyPasswordChangeIsWaitedFor) {
    Invocation invocation{"--key serial=4b41d001 key-password=1234 unplug-after=23",
                          {"set-key-password"},
                          "1234\nabcdefgh\nabcdefgh\n"};
    invocation.terminateOn = "Ctrl-C stops waiting";
    const Ran run = RunCli(invocation);
    EXPECT_EQ(8, run.exitCode) << run.out << run.err;
    EXPECT_TRUE(Has(run.err, "Key 4b41d001 stopped answering during the change.")) << run.err;
    EXPECT_TRUE(Has(run.err, "Waiting for key 4b41d001, at most 10 minutes")) << run.err;
    EXPECT_TRUE(Has(run.err, "Stopped waiting. Key 4b41d001 keeps bytes")) << run.err;
    ASSERT_EQ(1u, run.cells.count(0));
    EXPECT_EQ(std::string("abcde") + std::string(7, '\0'), FieldOf(run.cells.at(0), 40));
}

TEST(CliProgramTest, ThePromptOnATerminalShowsNothingTyped) {
    Invocation invocation{kOneKey, {"set-key-password"}, ""};
    invocation.typed = {"1234", "secret-9", "secret-9"};
    const Ran run = RunCli(invocation);
    EXPECT_EQ(0, run.exitCode) << run.out;
    EXPECT_TRUE(Has(run.out, "Current key password: ")) << run.out;
    EXPECT_TRUE(Has(run.out, "New key password again: ")) << run.out;
    EXPECT_FALSE(Has(run.out, "1234")) << run.out;
    EXPECT_FALSE(Has(run.out, "secret-9")) << run.out;
    EXPECT_TRUE(Has(run.out, "the key password was changed")) << run.out;
    EXPECT_EQ(Padded("secret-9"), FieldOf(run.cells.at(0), 40));
}

TEST(CliProgramTest, ARefusedTextIsTypedAgainOnATerminal) {
    Invocation invocation{kOneKey, {"set-login-password"}, ""};
    invocation.typed = {"1234", "café", "plain"};
    const Ran run = RunCli(invocation);
    EXPECT_EQ(0, run.exitCode) << run.out;
    EXPECT_TRUE(Has(run.out, "code page 949 cannot write; it was not used. Type it again."))
        << run.out;
    EXPECT_EQ(Padded("plain"), FieldOf(run.cells.at(0), 28));
}

TEST(CliProgramTest, SpeaksKoreanInAKoreanLocale) {
    Invocation invocation{kOneKey, {"show-login-password"}, "4321\n"};
    invocation.environment = {"LC_ALL=ko_KR.UTF-8"};
    const Ran run = RunCli(invocation);
    EXPECT_EQ(5, run.exitCode);
    EXPECT_EQ("인증키 암호가 틀렸습니다.\n", run.err);
}

// Three keys plugged in one after another, the second one in use.
const std::string kThreeInTurn =
    "--key serial=4b41e001 plug-after-ms=300 "
    "--key serial=4b41e002 key-password=1234 plug-after-ms=1300 "
    "--key serial=4b41e003 plug-after-ms=2300";

TEST(CliProgramTest, InitEachOverThreeKeysPluggedInTurn) {
    const Ran run = RunCli({kThreeInTurn, {"init", "--each", "--count", "2"}, "first\nfirst\n"});
    EXPECT_EQ(0, run.exitCode) << run.out << run.err;
    EXPECT_EQ(
        "4b41e001  first key password set\n"
        "4b41e002  skipped: not factory-initial\n"
        "4b41e003  first key password set\n"
        "Keys set: 2, skipped: 1, failed: 0.\n",
        run.out);
    EXPECT_EQ(Padded("first"), FieldOf(run.cells.at(0), 40));
    EXPECT_EQ(Padded("1234"), FieldOf(run.cells.at(1), 40));
    EXPECT_EQ(Padded("first"), FieldOf(run.cells.at(2), 40));
}

TEST(CliProgramTest, InitEachRandomAsJson) {
    const Ran run =
        RunCli({kThreeInTurn, {"--json", "init", "--each", "--random", "--count", "2"}, ""});
    EXPECT_EQ(0, run.exitCode) << run.out << run.err;
    const nlohmann::json document = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << run.out;
    ASSERT_EQ(3u, document["keys"].size());
    const std::string first = document["keys"][0]["keyPassword"];
    const std::string third = document["keys"][2]["keyPassword"];
    EXPECT_EQ(11u, first.size());
    EXPECT_NE(first, third);
    EXPECT_EQ(Padded(first), FieldOf(run.cells.at(0), 40));
    EXPECT_EQ(Padded(third), FieldOf(run.cells.at(2), 40));
    EXPECT_EQ("skipped", document["keys"][1]["outcome"]);
    EXPECT_EQ(2, document["summary"]["set"]);
}

TEST(CliProgramTest, InitEachEndsOnCtrlCWithASummary) {
    Invocation invocation{"--key serial=4b41e001", {"init", "--each"}, "first\nfirst\n"};
    invocation.terminateOn = "4b41e001  first key password set";
    const Ran run = RunCli(invocation);
    EXPECT_EQ(0, run.exitCode) << run.out << run.err;
    EXPECT_EQ("4b41e001  first key password set\nKeys set: 1, skipped: 0, failed: 0.\n", run.out);
}

}  // namespace
