// show-login-password, set-login-password, set-key-password and init on one
// key: the passwords asked for only when the key's state allows the command,
// every outcome with its exit code, what the key really holds afterwards, and
// the typed texts and password buffers wiped.
#include "cli_fixture.h"

namespace {

using PasswordCommandTest = CliTest;

TEST_F(PasswordCommandTest, ShowLoginPassword) {
    InUse(kSerialA);
    Type({"1234"});
    EXPECT_EQ(0, Run({"show-login-password"}));
    EXPECT_EQ("login password: demo-pass1\n", Out());
    EXPECT_TRUE(SecretsWiped());
}

TEST_F(PasswordCommandTest, ShowLoginPasswordAsJson) {
    InUse(kSerialA, "1234", "demo-user",
          "pass\x01"
          "word");
    Type({"1234"});
    EXPECT_EQ(0, Run({"--json", "show-login-password"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("success", document["outcome"]);
    EXPECT_EQ("4b41d001", document["key"]["serial"]);
    EXPECT_EQ("pass\x01word", document["loginPassword"]);
    EXPECT_EQ("7061737301776f7264", document["loginPasswordHex"]);
    EXPECT_TRUE(SecretsWiped());
}

TEST_F(PasswordCommandTest, AControlCharacterOfAPasswordIsNotSentToTheTerminal) {
    InUse(kSerialA, "1234", "demo-user",
          "a\x1B"
          "b");
    Type({"1234"});
    EXPECT_EQ(0, Run({"show-login-password"}));
    EXPECT_EQ(
        "login password: a\xEF\xBF\xBD"
        "b\n",
        Out());
}

TEST_F(PasswordCommandTest, WrongKeyPasswordShowsNothing) {
    InUse(kSerialA);
    Type({"4321"});
    EXPECT_EQ(5, Run({"show-login-password"}));
    EXPECT_EQ("", Out());
    EXPECT_EQ("The key password is wrong.\n", Err());
    EXPECT_TRUE(SecretsWiped());
}

// A change: which command, the key it finds, what is typed, and what comes
// of it on the key and in the exit code.
struct ChangeCase {
    const char* name;
    const char* command;
    bool factoryInitial;
    std::vector<std::string> typed;
    int exitCode;
    std::string message;
    std::string keyPassword;    // the field afterwards
    std::string loginPassword;  // the field afterwards
};

class ChangeTest : public CliTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangeTest, OutcomeAndWhatTheKeyHolds) {
    const ChangeCase& c = GetParam();
    vkey::VirtualKey& key = c.factoryInitial ? Fresh(kSerialA) : InUse(kSerialA);
    term::Console().typed.assign(c.typed.begin(), c.typed.end());
    EXPECT_EQ(c.exitCode, Run({c.command}));
    EXPECT_TRUE(Has(Out() + Err(), c.message)) << Out() << Err();
    EXPECT_EQ(c.keyPassword, Field(key, 40));
    EXPECT_EQ(c.loginPassword, Field(key, 28));
    EXPECT_TRUE(SecretsWiped());
}

const std::string kInitialField = "\r" + std::string(11, '\0');

INSTANTIATE_TEST_SUITE_P(
    Commands, ChangeTest,
    ::testing::Values(ChangeCase{"LoginPasswordChanged",
                                 "set-login-password",
                                 false,
                                 {"1234", "newlogin"},
                                 0,
                                 "Key 4b41d001: the login password was changed.",
                                 Padded("1234"),
                                 Padded("newlogin")},
                      ChangeCase{"LoginPasswordWrongKeyPassword",
                                 "set-login-password",
                                 false,
                                 {"9999", "newlogin"},
                                 5,
                                 "The key password is wrong.",
                                 Padded("1234"),
                                 Padded("demo-pass1")},
                      ChangeCase{"LoginPasswordOfAFactoryInitialKey",
                                 "set-login-password",
                                 true,
                                 {},
                                 7,
                                 "Key 4b41d001 is factory-initial",
                                 kInitialField,
                                 Padded("")},
                      ChangeCase{"KeyPasswordChanged",
                                 "set-key-password",
                                 false,
                                 {"1234", "abcd", "abcd"},
                                 0,
                                 "Key 4b41d001: the key password was changed.",
                                 Padded("abcd"),
                                 Padded("demo-pass1")},
                      ChangeCase{"KeyPasswordInHangul",
                                 "set-key-password",
                                 false,
                                 {"1234", "한글", "한글"},
                                 0,
                                 "the key password was changed",
                                 Padded("\xC7\xD1\xB1\xDB"),
                                 Padded("demo-pass1")},
                      ChangeCase{
                          "KeyPasswordConfirmationMismatch",
                          "set-key-password",
                          false,
                          {"1234", "abcd", "abce"},
                          6,
                          "The new key password and its confirmation differ; nothing was changed.",
                          Padded("1234"),
                          Padded("demo-pass1")},
                      ChangeCase{"KeyPasswordWrongKeyPassword",
                                 "set-key-password",
                                 false,
                                 {"9999", "abcd", "abcd"},
                                 5,
                                 "The key password is wrong.",
                                 Padded("1234"),
                                 Padded("demo-pass1")},
                      ChangeCase{"KeyPasswordOfAFactoryInitialKey",
                                 "set-key-password",
                                 true,
                                 {},
                                 7,
                                 "Set its first one with 'keyadmin-cli init'.",
                                 kInitialField,
                                 Padded("")},
                      ChangeCase{"FirstKeyPassword",
                                 "init",
                                 true,
                                 {"first", "first"},
                                 0,
                                 "Key 4b41d001: its first key password was set.",
                                 Padded("first"),
                                 Padded("")},
                      ChangeCase{"FirstKeyPasswordMismatch",
                                 "init",
                                 true,
                                 {"first", "frist"},
                                 6,
                                 "its confirmation differ",
                                 kInitialField,
                                 Padded("")},
                      ChangeCase{"FirstKeyPasswordOfAKeyInUse",
                                 "init",
                                 false,
                                 {"first", "first"},
                                 7,
                                 "Key 4b41d001 already has a key password",
                                 Padded("1234"),
                                 Padded("demo-pass1")},
                      ChangeCase{"EmptyFirstKeyPassword",
                                 "init",
                                 true,
                                 {"", ""},
                                 2,
                                 "A key password cannot be empty",
                                 kInitialField,
                                 Padded("")}),
    [](const auto& info) { return info.param.name; });

TEST_F(PasswordCommandTest, AKeyInTheWrongStateIsAskedNoPassword) {
    Fresh(kSerialA);
    Type({"1234"});
    term::Console().fromTerminal = true;
    EXPECT_EQ(7, Run({"show-login-password"}));
    EXPECT_TRUE(term::Console().prompts.empty());
    EXPECT_EQ(0, CellWrites());
}

TEST_F(PasswordCommandTest, ThePromptsOnATerminal) {
    InUse(kSerialA);
    term::Console().fromTerminal = true;
    Type({"1234", "abcd", "abcd"});
    EXPECT_EQ(0, Run({"set-key-password"}));
    EXPECT_EQ((std::vector<std::string>{
                  "Current key password: ", "New key password: ", "New key password again: "}),
              term::Console().prompts);
}

// Typed texts the key cannot take: refused whole, before any cell is
// written; on a terminal they may be typed again.
struct RefusalCase {
    const char* name;
    std::string typed;
    const char* message;
};

class RefusedTextTest : public CliTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedTextTest, FromStandardInputEndsTheCommand) {
    vkey::VirtualKey& key = InUse(kSerialA);
    Type({"1234", GetParam().typed, GetParam().typed});
    EXPECT_EQ(2, Run({"set-key-password"}));
    EXPECT_TRUE(Has(Err(), GetParam().message)) << Err();
    EXPECT_EQ(0, CellWrites());
    EXPECT_EQ(Padded("1234"), Field(key, 40));
    EXPECT_TRUE(SecretsWiped());
}

TEST_P(RefusedTextTest, OnATerminalItIsTypedAgain) {
    vkey::VirtualKey& key = InUse(kSerialA);
    term::Console().fromTerminal = true;
    Type({"1234", GetParam().typed, "abcd", "abcd"});
    EXPECT_EQ(0, Run({"set-key-password"}));
    EXPECT_TRUE(Has(Err(), GetParam().message)) << Err();
    EXPECT_TRUE(Has(Err(), "it was not used. Type it again.")) << Err();
    EXPECT_EQ(Padded("abcd"), Field(key, 40));
}

TEST_P(RefusedTextTest, OnATerminalThreeRefusalsEndTheCommand) {
    vkey::VirtualKey& key = InUse(kSerialA);
    term::Console().fromTerminal = true;
    const std::string bad = GetParam().typed;
    Type({"1234", bad, bad, bad, "abcd", "abcd"});
    EXPECT_EQ(2, Run({"set-key-password"}));
    EXPECT_EQ(0, CellWrites());
    EXPECT_EQ(Padded("1234"), Field(key, 40));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedTextTest,
    ::testing::Values(
        RefusalCase{"TwelveBytes", "abcdefghijkl", "takes more than 11 bytes"},
        RefusalCase{"SixHangul", "가나다라마바", "takes more than 11 bytes"},
        RefusalCase{"LongerThanAnyLine", std::string(300, 'a'), "takes more than 11 bytes"},
        RefusalCase{"NoCp949Form", "caf\xC3\xA9", "code page 949 cannot write"},
        RefusalCase{"EmptyKeyPassword", "", "A key password cannot be empty"},
        RefusalCase{"FactoryMarkFirst", "\r1234", "cannot begin with a carriage return"}),
    [](const auto& info) { return info.param.name; });

TEST_F(PasswordCommandTest, StandardInputEndingBeforeAPassword) {
    vkey::VirtualKey& key = InUse(kSerialA);
    Type({"1234", "abcd"});
    EXPECT_EQ(2, Run({"set-key-password"}));
    EXPECT_EQ("Standard input ended before a password was read.\n", Err());
    EXPECT_EQ(Padded("1234"), Field(key, 40));
}

TEST_F(PasswordCommandTest, CtrlCAtAPromptChangesNothing) {
    vkey::VirtualKey& key = InUse(kSerialA);
    term::Console().fromTerminal = true;
    Type({"1234", term::kCtrlC});
    EXPECT_EQ(130, Run({"set-key-password"}));
    EXPECT_EQ("Stopped by Ctrl-C; nothing was changed.\n", Err());
    EXPECT_EQ(0, CellWrites());
    EXPECT_EQ(Padded("1234"), Field(key, 40));
}

// Ctrl-C pressed while the key is looked at (its first reply comes after
// 2 s), the passwords already waiting on standard input: the command ends
// before it reads them, with the key as it was.
class CtrlCDuringTheLookTest : public CliTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CtrlCDuringTheLookTest, EndsTheCommandBeforeStandardInputIsRead) {
    const vkey::KeyContents before = InUse(kSerialA).contents();
    inproc::QueueReadDelays({2000});
    term::Console().interruptAtMs = fakeclock::Now() + 1000;
    Type({"1234", "abcd", "abcd"});
    EXPECT_EQ(130, Run({GetParam()}));
    EXPECT_EQ("Stopped by Ctrl-C; nothing was changed.\n", Err());
    EXPECT_EQ("", Out());
    EXPECT_EQ(3u, term::Console().typed.size()) << "no line read";
    EXPECT_EQ(before.cells, inproc::Devices()[0].contents().cells);
}

INSTANTIATE_TEST_SUITE_P(Commands, CtrlCDuringTheLookTest,
                         ::testing::Values("show-login-password", "set-key-password"),
                         [](const auto& info) { return info.index ? "SetKey" : "ShowLogin"; });

// Ctrl-C pressed while a change reads the key (the tenth reply after the
// choice comes after 2 s), every password already taken: nothing is written.
struct CtrlCInTheChange {
    const char* command;
    bool initial;
    std::vector<std::string> typed;
};

class CtrlCDuringTheChangeTest : public CliTest,
                                 public ::testing::WithParamInterface<CtrlCInTheChange> {};

TEST_P(CtrlCDuringTheChangeTest, EndsItBeforeItsFirstWrite) {
    const CtrlCInTheChange& change = GetParam();
    const vkey::KeyContents before =
        (change.initial ? Fresh(kSerialA) : InUse(kSerialA)).contents();
    std::vector<std::uint32_t> delays(4 + 1 + 9, 0);  // the choice, the presence test, 9 cells
    delays.push_back(2000);
    inproc::QueueReadDelays(delays);
    Type(change.typed);
    term::Console().interruptAtMs = fakeclock::Now() + 1000;
    EXPECT_EQ(130, Run({change.command}));
    EXPECT_EQ("Stopped by Ctrl-C; nothing was changed.\n", Err());
    EXPECT_EQ(0, CellWrites());
    EXPECT_EQ(before.cells, inproc::Devices()[0].contents().cells);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CtrlCDuringTheChangeTest,
    ::testing::Values(CtrlCInTheChange{"set-login-password", false, {"1234", "new-pw"}},
                      CtrlCInTheChange{"set-key-password", false, {"1234", "abcd", "abcd"}},
                      CtrlCInTheChange{"init", true, {"abcd", "abcd"}}),
    [](const auto& info) {
        return std::string(info.index == 0 ? "SetLogin" : info.index == 1 ? "SetKey" : "Init");
    });

TEST_F(PasswordCommandTest, ChangeAsJson) {
    InUse(kSerialA);
    Type({"1234", "abcd", "abcd"});
    EXPECT_EQ(0, Run({"set-key-password", "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("success", document["outcome"]);
    EXPECT_EQ("key-password", document["change"]["field"]);
    EXPECT_EQ(false, document["change"]["firstKeyPassword"]);
    EXPECT_EQ("new", document["change"]["fieldAfter"]);
    EXPECT_EQ("Key 4b41d001: the key password was changed.", document["message"]);
}

TEST_F(PasswordCommandTest, FirstKeyPasswordAsJsonShowsTheKeyAttached) {
    Fresh(kSerialA);
    Type({"first", "first"});
    EXPECT_EQ(0, Run({"init", "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("attached", document["key"]["state"]);
    EXPECT_EQ(true, document["change"]["firstKeyPassword"]);
}

TEST_F(PasswordCommandTest, ARefusedWriteLeavesTheOldKeyPassword) {
    vkey::VirtualKey& key = InUse(kSerialA);
    key.RefuseWritesTo(44);
    Type({"1234", "abcdefgh", "abcdefgh"});
    EXPECT_EQ(8, Run({"set-key-password", "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("change-failed", document["outcome"]);
    EXPECT_EQ("old", document["change"]["fieldAfter"]);
    EXPECT_TRUE(Has(document["message"], "Key 4b41d001 refused the change.")) << Out();
    EXPECT_TRUE(Has(document["message"], "The key holds the old password")) << Out();
    EXPECT_EQ(Padded("1234"), Field(key, 40));
}

TEST_F(PasswordCommandTest, ALoginPasswordLeftHalfWrittenIsSaid) {
    vkey::VirtualKey& key = InUse(kSerialA);
    const int before = ExchangesBeforeWrite({"set-login-password"}, {"1234", "newlogin"}, 32);
    ASSERT_GT(before, 0);
    key.UnplugAfter(before);
    Type({"1234", "newlogin"});
    EXPECT_EQ(8, Run({"set-login-password"}));
    EXPECT_TRUE(Has(Err(), "stopped answering during the change")) << Err();
    EXPECT_TRUE(Has(Err(), "part new, part old: set it again")) << Err();
    EXPECT_EQ(std::string("newl") + "-pass1" + std::string(2, '\0'), Field(key, 28));
}

TEST_F(PasswordCommandTest, SpeaksKorean) {
    UseLanguage(Language::Korean);
    InUse(kSerialA);
    Type({"4321"});
    EXPECT_EQ(5, Run({"show-login-password"}));
    EXPECT_EQ("인증키 암호가 틀렸습니다.\n", Err());
}

// An output that cannot be written (a closed pipe, a full disk) is said on
// standard error; the exit code is Failure, unless a change reached the key.
struct FullOutputCase {
    const char* name;
    int keys;
    std::vector<const char*> arguments;
    std::vector<std::string> typed;
    int exitCode;
};

class FullOutputTest : public CliTest, public ::testing::WithParamInterface<FullOutputCase> {};

TEST_P(FullOutputTest, IsSaid) {
    const FullOutputCase& c = GetParam();
    for (std::uint8_t key = 1; key <= c.keys; ++key) InUse({0x4B, 0x41, 0xD0, key});
    term::Console().outputFails = true;
    Type(c.typed);
    EXPECT_EQ(c.exitCode, Run(c.arguments));
    EXPECT_TRUE(Has(Err(), "The output could not be written.\n")) << Err();
}

INSTANTIATE_TEST_SUITE_P(
    Commands, FullOutputTest,
    ::testing::Values(
        FullOutputCase{"Status", 1, {"status"}, {}, 1},
        FullOutputCase{"StatusOfSeveralKeys", 3, {"status"}, {}, 1},
        FullOutputCase{"AChangeKeepsItsCode", 1, {"set-key-password"}, {"1234", "abcd", "abcd"}, 0},
        FullOutputCase{"ChangeAsJson", 1, {"set-login-password", "--json"}, {"1234", "new"}, 0}),
    [](const auto& info) { return info.param.name; });

}  // namespace
