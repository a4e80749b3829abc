// Which key a command acts on, and what list and status say of the keys:
// every key of the key's vendor and product (a foreign device is never
// listed), each read through its own serial-number command; several keys and
// no --serial change nothing.
#include <cstdio>
#include <filesystem>

#include "cli_fixture.h"

namespace {

using KeyChoiceTest = CliTest;

TEST_F(KeyChoiceTest, ListShowsEveryKeyButTheForeignDevice) {
    InUse(kSerialA);
    Attach(vkey::ProvisionedContents(kSerialC, "1", "x", "y"), Foreign(0x10F7, 0x1234));
    Fresh(kSerialB);
    EXPECT_EQ(0, Run({"list"}));
    EXPECT_EQ(
        "4b41d001  attached  login ID: demo-user  device: inproc:0\n"
        "4b41d002  factory-initial  device: inproc:2\n",
        Out());
    EXPECT_EQ("", Err());
}

TEST_F(KeyChoiceTest, ListAsJson) {
    InUse(kSerialA);
    Fresh(kSerialB);
    EXPECT_EQ(0, Run({"list", "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("success", document["outcome"]);
    EXPECT_EQ(0, document["exitCode"]);
    ASSERT_EQ(2u, document["keys"].size());
    const nlohmann::json& a = document["keys"][0];
    EXPECT_EQ("4b41d001", a["serial"]);
    EXPECT_EQ("attached", a["state"]);
    EXPECT_EQ("demo-user", a["loginId"]);
    EXPECT_EQ("64656d6f2d75736572", a["loginIdHex"]);
    EXPECT_EQ("inproc:0", a["device"]);
    const nlohmann::json& b = document["keys"][1];
    EXPECT_EQ("4b41d002", b["serial"]);
    EXPECT_EQ("factory-initial", b["state"]);
    EXPECT_EQ("", b["loginId"]);
    EXPECT_EQ("", b["loginIdHex"]);
}

TEST_F(KeyChoiceTest, AnyBytesOfALoginIdMakeValidOutput) {
    vkey::KeyContents contents = vkey::ProvisionedContents(kSerialA, "1234", "", "pw");
    for (int cell = 16; cell < 28; ++cell) contents.cells[cell] = 0xFF;
    Attach(contents);
    EXPECT_EQ(0, Run({"status", "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ(std::string(24, 'f'), document["key"]["loginIdHex"]);
    std::string replacements;
    for (int i = 0; i < 12; ++i) replacements += "\xEF\xBF\xBD";
    EXPECT_EQ(replacements, document["key"]["loginId"]);

    term::Reset();
    EXPECT_EQ(0, Run({"status"}));
    EXPECT_TRUE(Has(Out(), "login ID: " + replacements + "\n")) << Out();
}

TEST_F(KeyChoiceTest, StatusOfTheOnlyKey) {
    InUse(kSerialA);
    EXPECT_EQ(0, Run({"status"}));
    EXPECT_EQ(
        "serial number: 4b41d001\n"
        "state: attached\n"
        "login ID: demo-user\n"
        "device: inproc:0\n",
        Out());
}

TEST_F(KeyChoiceTest, NoKey) {
    Attach(vkey::FactoryInitialContents(kSerialA), Foreign(0x046D, 0xC52B));
    for (const char* command : {"list", "status", "show-login-password", "init"}) {
        term::Reset();
        EXPECT_EQ(3, Run({command})) << command;
        EXPECT_EQ("No key is attached.\n", Err()) << command;
        EXPECT_EQ("", Out()) << command;
    }
    term::Reset();
    EXPECT_EQ(3, Run({"list", "--json"}));
    EXPECT_EQ(nlohmann::json::array(), Document()["keys"]) << Out();
}

// Every command for one key, with two keys attached and no --serial.
class SeveralKeysTest : public CliTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SeveralKeysTest, ChangeNothingAndListTheSerialNumbers) {
    InUse(kSerialA);
    Fresh(kSerialB);
    const vkey::KeyContents before = inproc::Devices()[0].contents();
    Type({"1234", "new", "new"});
    EXPECT_EQ(4, Run({GetParam()}));
    EXPECT_TRUE(Has(Out(), "4b41d001  attached")) << Out();
    EXPECT_TRUE(Has(Out(), "4b41d002  factory-initial")) << Out();
    EXPECT_TRUE(Has(Err(), "2 keys are attached; choose one with --serial. Nothing was changed."))
        << Err();
    EXPECT_EQ(0, CellWrites());
    EXPECT_EQ(3u, term::Console().typed.size()) << "no password asked for";
    EXPECT_EQ(before.cells, inproc::Devices()[0].contents().cells);
}

TEST_P(SeveralKeysTest, JsonListsThem) {
    InUse(kSerialA);
    Fresh(kSerialB);
    EXPECT_EQ(4, Run({GetParam(), "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("several-keys", document["outcome"]);
    EXPECT_EQ(4, document["exitCode"]);
    ASSERT_EQ(2u, document["keys"].size());
    EXPECT_EQ("4b41d001", document["keys"][0]["serial"]);
    EXPECT_EQ("4b41d002", document["keys"][1]["serial"]);
}

INSTANTIATE_TEST_SUITE_P(Commands, SeveralKeysTest,
                         ::testing::Values("status", "show-login-password", "set-login-password",
                                           "set-key-password", "init"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::erase(name, '-');
                             return name;
                         });

TEST_F(KeyChoiceTest, SerialChoosesTheKeyAndOnlyItIsTouched) {
    InUse(kSerialA);
    vkey::VirtualKey& b = InUse(kSerialB, "5678", "bob", "bobs-pass");
    Type({"5678"});
    EXPECT_EQ(0, Run({"show-login-password", "--serial", "4B41D002"}));
    EXPECT_EQ("login password: bobs-pass\n", Out());
    // After the look at both keys, every frame goes to the second.
    bool toB = false;
    int framesToA = 0;
    for (const inproc::WireEvent& event : inproc::Events()) {
        if (event.kind != inproc::WireEventKind::Write) continue;
        if (toB) framesToA += event.device == 0;
        if (event.device == 1 && event.frame.kind == vkey::FrameKind::ReadCell &&
            event.frame.address == 40)
            toB = true;
    }
    EXPECT_TRUE(toB);
    EXPECT_EQ(0, framesToA);
    EXPECT_EQ(Padded("5678"), Field(b, 40));
}

TEST_F(KeyChoiceTest, SerialWithTheDigitF) {
    InUse({0x4B, 0x41, 0xD0, 0x0E});
    InUse({0x4B, 0x41, 0xD0, 0x0F});
    EXPECT_EQ(0, Run({"status", "--serial", "4B41D00f"})) << Err();
    EXPECT_TRUE(Has(Out(), "serial number: 4b41d00f\n")) << Out();
}

// The chosen key swapped for another with the same passwords at each prompt
// of each command, and before its write to `cell` (none: 0): the command
// ends as no key, naming both, and the other key is as it was.
struct SwapCase {
    const char* name;
    bool initial;
    std::vector<const char*> arguments;
    std::vector<std::string> typed;
    std::uint8_t cell;
};

class SwapTest : public CliTest, public ::testing::WithParamInterface<SwapCase> {};

TEST_P(SwapTest, TheOtherKeyIsNeitherReadNorWritten) {
    const SwapCase& c = GetParam();
    const auto contents = [&c](SerialNumber serial) {
        return c.initial ? vkey::FactoryInitialContents(serial)
                         : vkey::ProvisionedContents(serial, "1234", "demo-user", "demo-pass1");
    };
    const vkey::VirtualKey other(contents(kSerialC));
    for (int at = c.cell ? 0 : 1; at <= static_cast<int>(c.typed.size()); ++at) {  // 0: writes
        SetUp();
        Attach(contents(kSerialA));
        const int before = at ? -1 : ExchangesBeforeWrite(c.arguments, c.typed, c.cell);
        term::Console().onTyped = [at, &other](int line) {
            if (line == at) inproc::PlugInAt(0, other);
        };
        inproc::BeforeEachWrite([before, &other, sent = 0]() mutable {
            if (sent++ == before) inproc::PlugInAt(0, other);
        });
        Type(c.typed);
        EXPECT_EQ(3, Run(c.arguments)) << at;
        EXPECT_TRUE(Has(Err(), "Key 4b41d001 is no longer at inproc:0: key 4b41d003 is there"))
            << at << Err();
        EXPECT_EQ(other.contents().cells, inproc::Devices()[0].contents().cells) << at;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SwapTest,
    ::testing::Values(SwapCase{"Show", false, {"show-login-password"}, {"1234"}, 0},
                      SwapCase{"SetLogin", false, {"set-login-password"}, {"1234", "new"}, 30},
                      SwapCase{"SetKey", false, {"set-key-password"}, kKeyPasswordChange, 43},
                      SwapCase{"Init", true, {"init"}, {"first", "first"}, 42}),
    [](const auto& info) { return info.param.name; });

// With one key, the key chosen by its serial number (4 exchanges), its state
// where the command needs it (1), and the operation over the same connection.
TEST_F(KeyChoiceTest, TheFloorOfExchanges) {
    for (const auto& [arguments, typed, exchanges] :
         std::vector<std::tuple<std::vector<const char*>, std::vector<std::string>, int>>{
             {{"status"}, {}, 4 + 14},
             {{"show-login-password"}, {"1234"}, 4 + 1 + 25},
             {{"set-login-password"}, {"1234", "new"}, 4 + 1 + 26},
             {{"set-key-password"}, kKeyPasswordChange, 4 + 1 + 26}}) {
        SetUp();
        InUse(kSerialA);
        Type(typed);
        EXPECT_EQ(0, Run(arguments)) << Err();
        EXPECT_EQ(exchanges, static_cast<int>(inproc::SentFrames().size())) << arguments[0];
    }
}

TEST_F(KeyChoiceTest, SerialNobodyHas) {
    InUse(kSerialA);
    Fresh(kSerialB);
    EXPECT_EQ(3, Run({"status", "--serial", "4b41d003"}));
    EXPECT_TRUE(Has(Err(), "No attached key has the serial number 4b41d003.")) << Err();
}

TEST_F(KeyChoiceTest, SerialOfOneKeyIsCheckedToo) {
    InUse(kSerialA);
    EXPECT_EQ(3, Run({"status", "--serial", "4b41d002"}));
    EXPECT_EQ("No attached key has the serial number 4b41d002.\n", Err());
    EXPECT_EQ("4b41d001  attached  login ID: demo-user  device: inproc:0\n", Out())
        << "the keys that are there";
}

class BadSerialTest : public CliTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BadSerialTest, IsAUsageError) {
    InUse(kSerialA);
    EXPECT_EQ(2, Run({"status", "--serial", GetParam()}));
    EXPECT_TRUE(Has(Err(), "--serial takes a serial number of 8 hex digits")) << Err();
    EXPECT_TRUE(inproc::Events().empty()) << "the key is not looked at";
}

INSTANTIATE_TEST_SUITE_P(Texts, BadSerialTest,
                         ::testing::Values("", "4b41d0", "4b41d0011", "4b41d0g1", "0x4b41d0"));

// Keys that cannot be opened, or cannot be used: listed with the reason, and
// the exit code of the first.
struct FailureCase {
    const char* name;
    DiscoveryFailure refusal;
    int exitCode;
    const char* state;
    const char* message;
};

class KeyFailureTest : public CliTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(KeyFailureTest, ListNamesIt) {
    const FailureCase& c = GetParam();
    InUse(kSerialA);
    Fresh(kSerialB);
    inproc::RefuseOpening(1, c.refusal);
    EXPECT_EQ(c.exitCode, Run({"list"}));
    EXPECT_TRUE(Has(Out(), "4b41d001  attached")) << Out();
    EXPECT_TRUE(Has(Out(), std::string("--------  ") + c.state + "  device: inproc:1")) << Out();
    EXPECT_TRUE(Has(Err(), c.message)) << Err();
}

TEST_P(KeyFailureTest, StatusOfThatKeySaysWhy) {
    const FailureCase& c = GetParam();
    Fresh(kSerialA);
    inproc::RefuseOpening(0, c.refusal);
    EXPECT_EQ(c.exitCode, Run({"status", "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ(c.exitCode, document["exitCode"]);
    EXPECT_TRUE(Has(document["message"], c.message)) << Out();
}

TEST_P(KeyFailureTest, ASerialAnotherKeyHasIsStillFound) {
    InUse(kSerialA);
    InUse(kSerialB);
    inproc::RefuseOpening(0, GetParam().refusal);
    EXPECT_EQ(0, Run({"status", "--serial", "4b41d002"}));
    EXPECT_TRUE(Has(Out(), "serial number: 4b41d002")) << Out();
}

TEST_P(KeyFailureTest, ASerialNoOtherKeyHasGivesTheReason) {
    const FailureCase& c = GetParam();
    InUse(kSerialA);
    InUse(kSerialB);
    inproc::RefuseOpening(0, c.refusal);
    EXPECT_EQ(c.exitCode, Run({"status", "--serial", "4b41d003"}));
    EXPECT_TRUE(Has(Err(), c.message)) << Err();
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, KeyFailureTest,
    ::testing::Values(FailureCase{"PermissionDenied", DiscoveryFailure::PermissionDenied, 9,
                                  "permission denied", "cannot be opened: permission denied."},
                      FailureCase{"InUse", DiscoveryFailure::InUse, 10, "in use",
                                  "is in use by another program."}),
    [](const auto& info) { return info.param.name; });

// The manual page as it reads, its troff escapes of '-' undone.
std::string ManualPage(const char* language) {
    std::string page;
#ifdef KEYADMIN_CLI_MANUAL
    FILE* manual = popen((std::string(KEYADMIN_CLI_MANUAL) + " " + language).c_str(), "r");
    for (int c; manual && (c = std::fgetc(manual)) != EOF;) page += static_cast<char>(c);
    if (manual) pclose(manual);
#endif
    for (std::size_t at; (at = page.find("\\-")) != std::string::npos;) page.erase(at, 1);
    return page;
}

// The permission-denied hint and the manual page, in both languages: where
// the rule is, the plugdev line in a copy of it under /etc/udev/rules.d/
// (never in the package's file, which an upgrade overwrites), and the
// commands that apply it to the keys already attached.
TEST_F(KeyChoiceTest, PermissionDeniedNamesTheRuleAndHowToInstallIt) {
    const std::string rule = "packaging/linux/70-keyadmin-usb-key.rules";
    const std::string packaged = "/usr/lib/udev/rules.d/70-keyadmin-usb-key.rules";
    const std::vector<std::string> inBoth{"sudo cp " + packaged + " /etc/udev/rules.d/",
                                          "sudo udevadm control --reload-rules",
                                          "sudo udevadm trigger --subsystem-match=hidraw "
                                          "--action=change"};
    for (const auto& [language, name] :
         {std::pair{Language::English, "en"}, std::pair{Language::Korean, "ko"}}) {
        UseLanguage(language);
        Fresh(kSerialA);
        inproc::RefuseOpening(0, DiscoveryFailure::PermissionDenied);
        EXPECT_EQ(9, Run({"status"}));
        EXPECT_TRUE(Has(Err(), "sudo cp " + rule + " /etc/udev/rules.d/")) << Err();
        const std::string manual = ManualPage(name);
        EXPECT_TRUE(Has(manual, ".I " + packaged)) << manual;
        for (const std::string& advice : inBoth) {
            EXPECT_TRUE(Has(Err(), advice)) << advice << "\n" << Err();
            EXPECT_TRUE(Has(manual, advice)) << advice << "\n" << manual;
        }
        inproc::Reset();
        term::Reset();
    }
    EXPECT_TRUE(std::filesystem::exists(std::string(KEYADMIN_SOURCE_DIR) + "/" + rule));
}

TEST_F(KeyChoiceTest, ADeviceWhoseReportsCannotCarryTheFramingIsUnusable) {
    vkey::DeviceConfig shortReports;
    shortReports.inputReportLength = 3;
    Attach(vkey::FactoryInitialContents(kSerialA), shortReports);
    EXPECT_EQ(3, Run({"list", "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("unusable", document["keys"][0]["state"]);
    EXPECT_EQ(nullptr, document["keys"][0]["serial"]);
}

TEST_F(KeyChoiceTest, ASilentKeyCostsOneTimeLimit) {
    vkey::VirtualKey& key = InUse(kSerialA);
    key.SetSilent(true);
    const std::uint64_t start = fakeclock::Now();
    EXPECT_EQ(3, Run({"status"}));
    EXPECT_EQ("The key at inproc:0 did not answer.\n", Err());
    EXPECT_EQ(1, inproc::Count(inproc::WireEventKind::ReadTimeout));
    EXPECT_LE(fakeclock::Now() - start, kExchangeLimitMs);
}

}  // namespace
