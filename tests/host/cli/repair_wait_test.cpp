// A key password left half written by a key pulled out mid-change: the
// command says so, waits for that key to come back and puts it right then;
// at most kRepairWaitMinutes, or until Ctrl-C.
#include "repair_wait.h"
#include "cli_fixture.h"

namespace {

class RepairWaitTest : public CliTest {
protected:
    // Pulls the key out at its write to `address` during `arguments`.
    vkey::VirtualKey& PulledAt(std::uint8_t address, bool factoryInitial,
                               const std::vector<const char*>& arguments,
                               const std::vector<std::string>& typed) {
        if (factoryInitial)
            Fresh(kSerialA);
        else
            InUse(kSerialA);
        before_ = ExchangesBeforeWrite(arguments, typed, address);
        EXPECT_GT(before_, 0);
        inproc::Devices()[0].UnplugAfter(before_);
        Type(typed);
        return inproc::Devices()[0];
    }

    int before_ = 0;  // the exchanges the key took before it was pulled

    // Plugs the key back in at the `pause`-th wait.
    static void ReplugAt(int pause) {
        term::Console().onPause = [pause](int now) {
            if (now == pause) inproc::Devices()[0].Replug();
        };
    }
};

TEST_F(RepairWaitTest, TheOldKeyPasswordIsBackWhenTheKeyIs) {
    vkey::VirtualKey& key =
        PulledAt(45, false, {"set-key-password"}, {"1234", "abcdefgh", "abcdefgh"});
    ReplugAt(5);
    EXPECT_EQ(8, Run({"set-key-password"}));
    EXPECT_TRUE(Has(Err(), "stopped answering during the change")) << Err();
    EXPECT_TRUE(Has(Err(), "Neither the old nor the new key password unlocks the key now."))
        << Err();
    EXPECT_TRUE(Has(Err(), "Waiting for key 4b41d001, at most 10 minutes")) << Err();
    EXPECT_TRUE(Has(Err(), "Key 4b41d001: the old key password is back and unlocks the key."))
        << Err();
    EXPECT_EQ(Padded("1234"), Field(key, 40));
    EXPECT_FALSE(KeyPasswordRepairPending());
}

TEST_F(RepairWaitTest, AnInterruptedFirstKeyPasswordMakesTheKeyFactoryInitialAgain) {
    vkey::VirtualKey& key = PulledAt(43, true, {"init", "--json"}, {"abcdefgh", "abcdefgh"});
    ReplugAt(3);
    EXPECT_EQ(8, Run({"init", "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("factory-initial-back", document["repair"]);
    EXPECT_EQ("old", document["change"]["fieldAfter"]);
    EXPECT_EQ(static_cast<char>(vkey::kFactoryMark), Field(key, 40)[0]);
}

TEST_F(RepairWaitTest, AnotherKeyPluggedInMeanwhileIsLeftAlone) {
    PulledAt(45, false, {"set-key-password"}, {"1234", "abcdefgh", "abcdefgh"});
    term::Console().onPause = [](int now) {
        if (now == 2)
            inproc::Devices().emplace_back(vkey::ProvisionedContents(kSerialB, "5678", "b", "c"));
        if (now == 6) inproc::Devices()[0].Replug();
    };
    EXPECT_EQ(8, Run({"set-key-password"}));
    EXPECT_EQ(Padded("1234"), Field(inproc::Devices()[0], 40));
    EXPECT_EQ(Padded("5678"), Field(inproc::Devices()[1], 40));
}

TEST_F(RepairWaitTest, AKeyBackBeforeTheWaitBeginsIsRepairedAtOnce) {
    vkey::VirtualKey& key = PulledAt(45, false, {"set-key-password"}, kKeyPasswordChange);
    term::Console().onErr = [&key](const std::string& err) {
        if (Has(err, "Neither the old nor the new")) key.Replug();
    };
    EXPECT_EQ(8, Run({"set-key-password"}));
    EXPECT_EQ(0, term::Console().pauses);
    EXPECT_EQ(Padded("1234"), Field(key, 40));
}

TEST_F(RepairWaitTest, TheDocumentNamesThePlaceTheKeyCameBackAt) {
    PulledAt(45, false, {"set-key-password", "--json"}, kKeyPasswordChange);
    term::Console().onPause = [](int now) {
        if (now == 2) inproc::Devices().push_back(inproc::Devices()[0]);
        if (now == 2) inproc::Devices()[1].Replug();
    };
    EXPECT_EQ(8, Run({"set-key-password", "--json"}));
    EXPECT_EQ("inproc:1", Document()["key"]["device"]) << Out();
}

// The key took its last write and fell silent before answering: when it
// answers again the repair finds the new key password in force, a success.
TEST_F(RepairWaitTest, ANewKeyPasswordFoundInForceIsASuccess) {
    vkey::VirtualKey& key = InUse(kSerialA);
    key.SilentAfter(ExchangesBeforeWrite({"set-key-password"}, kKeyPasswordChange, 51));
    term::Console().onPause = [&key](int now) { key.SetSilent(now < 3); };
    Type(kKeyPasswordChange);
    EXPECT_EQ(0, Run({"set-key-password"}));
    EXPECT_TRUE(Has(Out(), "the change had taken effect")) << Out() << Err();
    EXPECT_EQ(Padded("abcdefgh"), Field(key, 40));
}

// A key back that cannot be read at first (None: it does not answer) is
// looked at again, and why is said once.
struct LookCase {
    const char* name;
    DiscoveryFailure refusal;
    const char* said;
};

class RepairLookTest : public RepairWaitTest, public ::testing::WithParamInterface<LookCase> {};

TEST_P(RepairLookTest, AKeyThatCannotBeReadIsLookedAtAgain) {
    const auto [name, refusal, said] = GetParam();
    vkey::VirtualKey& key = PulledAt(45, false, {"set-key-password"}, kKeyPasswordChange);
    term::Console().onPause = [&key, refusal](int now) {
        if (now == 2) key.Replug();
        key.SetSilent(refusal == DiscoveryFailure::None && now < 6);
        inproc::RefuseOpening(0, now < 6 ? refusal : DiscoveryFailure::None);
    };
    EXPECT_EQ(8, Run({"set-key-password"}));
    EXPECT_EQ(Err().find(said), Err().rfind(said)) << "once: " << Err();
    EXPECT_NE(std::string::npos, Err().find(said)) << Err();
    EXPECT_EQ(Padded("1234"), Field(key, 40));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RepairLookTest,
    ::testing::Values(LookCase{"PermissionNotYetGranted", DiscoveryFailure::PermissionDenied,
                               "permission denied"},
                      LookCase{"HeldByAnotherProgram", DiscoveryFailure::InUse,
                               "in use by another program"},
                      LookCase{"TimedOut", DiscoveryFailure::None, "did not answer"}),
    [](const auto& info) { return info.param.name; });

TEST_F(RepairWaitTest, TheWaitEndsAfterItsTime) {
    PulledAt(45, false, {"set-key-password"}, {"1234", "abcdefgh", "abcdefgh"});
    bool wipedWhileWaiting = false;
    term::Console().onPause = [&](int now) {
        if (now == 1) wipedWhileWaiting = SecretsWiped();
    };
    EXPECT_EQ(8, Run({"set-key-password"}));
    EXPECT_TRUE(Has(Err(),
                    "Stopped waiting. Key 4b41d001 keeps bytes that neither password "
                    "unlocks"))
        << Err();
    EXPECT_GE(term::Console().pausedMs, kRepairWaitMinutes * 60 * 1000);
    EXPECT_LE(term::Console().pausedMs, kRepairWaitMinutes * 60 * 1000 + 1000);
    EXPECT_TRUE(wipedWhileWaiting) << "no password kept during the wait";
}

TEST_F(RepairWaitTest, CtrlCEndsTheWait) {
    vkey::VirtualKey& key =
        PulledAt(45, false, {"set-key-password"}, {"1234", "abcdefgh", "abcdefgh"});
    term::Console().onPause = [](int now) { term::Console().interrupted = now == 4; };
    EXPECT_EQ(8, Run({"set-key-password"}));
    EXPECT_EQ(4, term::Console().pauses);
    EXPECT_TRUE(Has(Err(), "Stopped waiting.")) << Err();
    EXPECT_NE(Padded("1234"), Field(key, 40));
}

TEST_F(RepairWaitTest, CtrlCAsSoonAsTheWaitIsToldOfEndsIt) {
    PulledAt(45, false, {"set-key-password"}, {"1234", "abcdefgh", "abcdefgh"});
    term::Console().interruptOnErr = "Ctrl-C stops waiting.";
    EXPECT_EQ(8, Run({"set-key-password"}));
    EXPECT_EQ(0, term::Console().pauses);
    EXPECT_TRUE(Has(Err(), "Stopped waiting.")) << Err();
}

TEST_F(RepairWaitTest, CtrlCDuringTheChangeDoesNotEndTheWait) {
    PulledAt(45, false, {"set-key-password"}, {"1234", "abcdefgh", "abcdefgh"});
    // Pressed while the key was written: the echo of its last write came
    // 10 ms late.
    std::vector<std::uint32_t> delays(before_, 0);
    delays.back() = 10;
    inproc::QueueReadDelays(delays);
    term::Console().interruptAtMs = fakeclock::Now() + 5;
    ReplugAt(5);
    EXPECT_EQ(8, Run({"set-key-password"}));
    EXPECT_EQ(Padded("1234"), Field(inproc::Devices()[0], 40));
}

}  // namespace
