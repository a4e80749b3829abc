// init --each: keys plugged in one after another each take the first key
// password once per serial number, keys in use are skipped, and the run ends
// on Ctrl-C or after --count keys with a summary; with --random each key
// holds the password printed beside its serial number.
#include <set>

#include "cli_fixture.h"
#include "passwords.h"

namespace {

class ProvisioningTest : public CliTest {
protected:
    // Plugs in, at the given waits, the keys; the key before each is pulled out.
    static void PlugInTurn(std::vector<std::pair<int, vkey::KeyContents>> plugs) {
        term::Console().onPause = [plugs](int now) {
            for (const auto& [pause, contents] : plugs) {
                if (pause != now) continue;
                for (vkey::VirtualKey& key : inproc::Devices()) key.Unplug();
                inproc::Devices().emplace_back(contents);
            }
        };
    }

    static vkey::KeyContents InUseContents(std::array<std::uint8_t, 4> serial) {
        return vkey::ProvisionedContents(serial, "1234", "demo-user", "demo-pass1");
    }

    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }
};

TEST_F(ProvisioningTest, ThreeKeysOneAfterAnotherOneInUse) {
    PlugInTurn({{2, vkey::FactoryInitialContents(kSerialA)},
                {10, InUseContents(kSerialB)},
                {20, vkey::FactoryInitialContents(kSerialC)}});
    Type({"first", "first"});
    EXPECT_EQ(0, Run({"init", "--each", "--count", "2"}));
    EXPECT_EQ((std::vector<std::string>{
                  "4b41d001  first key password set", "4b41d002  skipped: not factory-initial",
                  "4b41d003  first key password set", "Keys set: 2, skipped: 1, failed: 0."}),
              Lines(Out()));
    ASSERT_EQ(3u, inproc::Devices().size());
    EXPECT_EQ(Padded("first"), Field(inproc::Devices()[0], 40));
    EXPECT_EQ(Padded("1234"), Field(inproc::Devices()[1], 40));
    EXPECT_EQ(Padded("first"), Field(inproc::Devices()[2], 40));
    EXPECT_TRUE(SecretsWiped());
}

TEST_F(ProvisioningTest, NoPasswordIsLeftInTheBuffersBetweenKeys) {
    PlugInTurn({{2, vkey::FactoryInitialContents(kSerialA)},
                {10, vkey::FactoryInitialContents(kSerialB)}});
    bool wipedBetween = false;
    term::Console().onPause = [previous = term::Console().onPause, &wipedBetween](int now) {
        if (now == 8) wipedBetween = SecretsWiped();  // the first key set, the second not there
        previous(now);
    };
    Type({"first", "first"});
    EXPECT_EQ(0, Run({"init", "--each", "--random", "--count", "2"}));
    EXPECT_EQ(Padded(Out().substr(10, kRandomPasswordLength)), Field(inproc::Devices()[0], 40));
    EXPECT_TRUE(wipedBetween);
}

TEST_F(ProvisioningTest, EachKeyOncePerSerialNumber) {
    // The same key pulled out and plugged in again after it was set.
    term::Console().onPause = [](int now) {
        if (now == 2) Fresh(kSerialA);
        if (now == 8) inproc::Devices()[0].Unplug();
        if (now == 12) inproc::Devices()[0].Replug();
        if (now == 20) Fresh(kSerialB);
    };
    Type({"first", "first"});
    EXPECT_EQ(0, Run({"init", "--each", "--count", "2"}));
    EXPECT_EQ((std::vector<std::string>{"4b41d001  first key password set",
                                        "4b41d002  first key password set",
                                        "Keys set: 2, skipped: 0, failed: 0."}),
              Lines(Out()));
}

TEST_F(ProvisioningTest, KeysAttachedAtTheStartAreSetToo) {
    Fresh(kSerialA);
    Fresh(kSerialB);
    Type({"first", "first"});
    EXPECT_EQ(0, Run({"init", "--each", "--count", "2"}));
    EXPECT_EQ(Padded("first"), Field(inproc::Devices()[0], 40));
    EXPECT_EQ(Padded("first"), Field(inproc::Devices()[1], 40));
}

TEST_F(ProvisioningTest, CtrlCEndsWithASummary) {
    PlugInTurn({{2, vkey::FactoryInitialContents(kSerialA)}});
    term::Console().onPause = [previous = term::Console().onPause](int now) {
        previous(now);
        term::Console().interrupted = now == 30;
    };
    Type({"first", "first"});
    EXPECT_EQ(0, Run({"init", "--each"}));
    EXPECT_EQ(30, term::Console().pauses);
    EXPECT_EQ((std::vector<std::string>{"4b41d001  first key password set",
                                        "Keys set: 1, skipped: 0, failed: 0."}),
              Lines(Out()));
}

// Ctrl-C pressed while an arriving key is looked at (its first reply comes
// after 2 s; a look for keys takes 0.2 s): the run ends before the key is
// written to.
TEST_F(ProvisioningTest, CtrlCDuringTheLookAtAKeyEndsTheRunBeforeItIsSet) {
    PlugInTurn({{2, vkey::FactoryInitialContents(kSerialA)}});
    term::Console().onPause = [previous = term::Console().onPause](int now) {
        previous(now);
        term::Console().interruptAtMs = fakeclock::Now() + 1000;
    };
    inproc::QueueReadDelays({2000});
    Type({"first", "first"});
    EXPECT_EQ(0, Run({"init", "--each"}));
    EXPECT_EQ(0, CellWrites());
    EXPECT_EQ(static_cast<char>(vkey::kFactoryMark), Field(inproc::Devices()[0], 40)[0]);
    EXPECT_EQ(std::vector<std::string>{"Keys set: 0, skipped: 0, failed: 0."}, Lines(Out()));
}

TEST_F(ProvisioningTest, DifferingConfirmationSetsNothing) {
    Fresh(kSerialA);
    Type({"first", "frist"});
    EXPECT_EQ(6, Run({"init", "--each"}));
    EXPECT_EQ(static_cast<char>(vkey::kFactoryMark), Field(inproc::Devices()[0], 40)[0]);
    EXPECT_EQ(0, CellWrites());
}

TEST_F(ProvisioningTest, AnEmptyPasswordForEveryKeySetsNothing) {
    Fresh(kSerialA);
    Type({"", ""});
    EXPECT_EQ(2, Run({"init", "--each"}));
    EXPECT_EQ(0, CellWrites());
}

TEST_F(ProvisioningTest, RandomPasswordsAsCsvAreWhatEachKeyHolds) {
    PlugInTurn({{2, vkey::FactoryInitialContents(kSerialA)},
                {10, InUseContents(kSerialB)},
                {20, vkey::FactoryInitialContents(kSerialC)}});
    EXPECT_EQ(0, Run({"init", "--each", "--random", "--csv", "--count", "2"}));
    const std::vector<std::string> rows = Lines(Out());
    ASSERT_EQ(4u, rows.size()) << Out();
    EXPECT_EQ("serial,key_password,outcome,message", rows[0]);
    EXPECT_EQ("4b41d002,,skipped,\"\"", rows[2]);
    std::set<std::string> passwords;
    for (std::size_t row : {1u, 3u}) {
        const std::string serial = rows[row].substr(0, 8);
        const std::string password = rows[row].substr(9, kRandomPasswordLength);
        EXPECT_EQ(serial + "," + password + ",set,\"\"", rows[row]);
        for (char c : password)
            EXPECT_NE(std::string_view::npos, kRandomPasswordAlphabet.find(c)) << password;
        const vkey::VirtualKey& key = inproc::Devices()[row == 1 ? 0 : 2];
        EXPECT_EQ(Padded(password), Field(key, 40)) << "the key holds the password printed";
        passwords.insert(password);
    }
    EXPECT_EQ(2u, passwords.size()) << "each key has its own";
}

TEST_F(ProvisioningTest, RandomPasswordsAsJson) {
    PlugInTurn({{2, vkey::FactoryInitialContents(kSerialA)}, {10, InUseContents(kSerialB)}});
    term::Console().onPause = [previous = term::Console().onPause](int now) {
        previous(now);
        term::Console().interrupted = now == 20;
    };
    EXPECT_EQ(0, Run({"init", "--each", "--random", "--json"}));
    const nlohmann::json document = Document();
    ASSERT_FALSE(document.is_discarded()) << Out();
    EXPECT_EQ("success", document["outcome"]);
    ASSERT_EQ(2u, document["keys"].size());
    EXPECT_EQ("4b41d001", document["keys"][0]["serial"]);
    EXPECT_EQ("set", document["keys"][0]["outcome"]);
    const std::string password = document["keys"][0]["keyPassword"].get<std::string>();
    EXPECT_EQ(Padded(password), Field(inproc::Devices()[0], 40));
    EXPECT_EQ("skipped", document["keys"][1]["outcome"]);
    EXPECT_FALSE(document["keys"][1].contains("keyPassword"));
    EXPECT_EQ(1, document["summary"]["set"]);
    EXPECT_EQ(1, document["summary"]["skipped"]);
    EXPECT_EQ(0, document["summary"]["failed"]);
    EXPECT_TRUE(Has(Err(), "4b41d001  first key password set")) << Err();
    EXPECT_FALSE(Has(Err(), password)) << "printed once";
}

TEST_F(ProvisioningTest, AnInterruptedKeyIsPutRightAndSetWhenItComesBack) {
    PlugInTurn({{2, vkey::FactoryInitialContents(kSerialA)}});
    Type({"abcdefgh", "abcdefgh"});
    // The rehearsal: the exchanges before the key's write to cell 44.
    int exchanges = 0, before = -1;
    {
        const term::Terminal terminal = term::Console();
        Run({"init", "--each", "--count", "1"});
        for (const vkey::DecodedFrame& frame : inproc::SentFrames()) {
            if (before < 0 && frame.kind == vkey::FrameKind::WriteCell && frame.address == 44)
                before = exchanges;
            ++exchanges;
        }
        inproc::Reset();
        term::Console() = terminal;
    }
    ASSERT_GT(before, 0);
    term::Console().onPause = [before](int now) {
        if (now == 2) {
            inproc::Devices().emplace_back(vkey::FactoryInitialContents(kSerialA));
            inproc::Devices()[0].UnplugAfter(before);
        }
        if (now == 10) inproc::Devices()[0].Replug();
    };
    EXPECT_EQ(0, Run({"init", "--each", "--count", "1"}));
    const std::vector<std::string> lines = Lines(Out());
    ASSERT_EQ(3u, lines.size()) << Out();
    EXPECT_TRUE(Has(lines[0], "4b41d001  failed: Key 4b41d001 stopped answering")) << lines[0];
    EXPECT_EQ("4b41d001  first key password set", lines[1]);
    EXPECT_EQ("Keys set: 1, skipped: 0, failed: 0.", lines[2]);
    EXPECT_TRUE(Has(Err(), "Key 4b41d001: factory-initial again")) << Err();
    EXPECT_EQ(Padded("abcdefgh"), Field(inproc::Devices()[0], 40));
}

// A password of its own that could not be written out is never set: no key
// is left with a password nobody saw.
TEST_F(ProvisioningTest, NoKeyTakesAPasswordThatWasNotWrittenOut) {
    Fresh(kSerialA);
    term::Console().outputFails = true;
    EXPECT_EQ(1, Run({"init", "--each", "--random", "--count", "1"}));
    EXPECT_TRUE(Has(Err(), "The output could not be written.")) << Err();
    EXPECT_EQ(static_cast<char>(vkey::kFactoryMark), Field(inproc::Devices()[0], 40)[0]);
    EXPECT_EQ(0, CellWrites());
}

TEST_F(ProvisioningTest, AnOutputThatFailsMidwayEndsTheRun) {
    PlugInTurn({{2, vkey::FactoryInitialContents(kSerialA)},
                {10, vkey::FactoryInitialContents(kSerialB)}});
    term::Console().onPause = [previous = term::Console().onPause](int now) {
        previous(now);
        if (now == 8) term::Console().outputFails = true;  // say, the disk is full
    };
    EXPECT_EQ(1, Run({"init", "--each", "--random", "--csv"}));
    const std::vector<std::string> rows = Lines(Out());
    ASSERT_EQ(2u, rows.size()) << Out();
    EXPECT_EQ(Padded(rows[1].substr(9, kRandomPasswordLength)), Field(inproc::Devices()[0], 40));
    EXPECT_EQ(static_cast<char>(vkey::kFactoryMark), Field(inproc::Devices()[1], 40)[0])
        << "the second key is left as it was";
    EXPECT_LT(term::Console().pauses, 20) << "the run ended";
}

TEST_F(ProvisioningTest, CountOneWithTwoKeysAtOneLookSetsOne) {
    Fresh(kSerialA);
    Fresh(kSerialB);
    Type({"first", "first"});
    EXPECT_EQ(0, Run({"init", "--each", "--count", "1"}));
    EXPECT_EQ(Padded("first"), Field(inproc::Devices()[0], 40));
    EXPECT_EQ(static_cast<char>(vkey::kFactoryMark), Field(inproc::Devices()[1], 40)[0]);
}

TEST_F(ProvisioningTest, ARandomByteThatWouldFavourSomeCharactersIsDrawnAgain) {
    Fresh(kSerialA);
    term::Console().random = {224, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};  // 224: 4 x 56 characters
    EXPECT_EQ(0, Run({"init", "--each", "--random", "--count", "1"}));
    EXPECT_EQ(Padded("ABCDEFGHJKL"), Field(inproc::Devices()[0], 40));
}

// What happens at a wait: a key plugged in at a device's place (a new
// connection; in use, factory-initial, or factory-initial and pulled at its
// write to cell 43), the key there plugged in again as it is, its opening
// refused or allowed again, its writes to cell 40 refused, Ctrl-C.
enum class Act : std::uint8_t { InUse, Fresh, Pulled, Again, Refuse, Allow, Refuse40, CtrlC };
struct Step {
    int pause;
    Act act;
    std::size_t device = 0;
    std::uint8_t serial = 1;
};

struct StoryCase {
    const char* name;
    std::vector<Step> steps;
    int exitCode;
    const char* summary;
};

class ProvisioningStoryTest : public ProvisioningTest,
                              public ::testing::WithParamInterface<StoryCase> {};

// Each key counted once, by what it holds in the end; no key left open
// between looks; no wait said to end before the run does.
TEST_P(ProvisioningStoryTest, OneResultPerKey) {
    Fresh(kSerialA);
    const int pulled =
        ExchangesBeforeWrite({"init", "--each", "--count", "1"}, {"first", "first"}, 43);
    inproc::Reset();
    int open = 0;  // keys open at a wait
    term::Console().onPause = [pulled, &open](int now) {
        std::vector<vkey::VirtualKey>& devices = inproc::Devices();
        for (std::size_t device = 0; device < devices.size(); ++device)
            open += inproc::OpenHandles(static_cast<int>(device)) > 0;
        for (const auto& [pause, act, device, serial] : GetParam().steps) {
            if (pause != now) continue;
            const SerialNumber number{0x4B, 0x41, 0xD0, serial};
            vkey::VirtualKey key(act == Act::InUse   ? InUseContents(number)
                                 : act == Act::Again ? devices[device].contents()
                                                     : vkey::FactoryInitialContents(number));
            if (act == Act::Pulled) key.UnplugAfter(pulled);
            if (act <= Act::Again && device == devices.size())
                devices.push_back(key);
            else if (act <= Act::Again)
                inproc::PlugInAt(static_cast<int>(device), key);
            if (act == Act::Refuse || act == Act::Allow)
                inproc::RefuseOpening(static_cast<int>(device),
                                      act == Act::Refuse ? DiscoveryFailure::PermissionDenied
                                                         : DiscoveryFailure::None);
            if (act == Act::Refuse40) devices[device].RefuseWritesTo(40);
            if (act == Act::CtrlC) term::Console().interrupted = true;
        }
    };
    Type({"first", "first"});
    EXPECT_EQ(GetParam().exitCode, Run({"init", "--each", "--count", "2"}));
    EXPECT_TRUE(Has(Out(), GetParam().summary)) << Out();
    EXPECT_FALSE(Has(Err(), "Stopped waiting")) << Err();
    EXPECT_EQ(0, open) << "a key left open";
}

INSTANTIATE_TEST_SUITE_P(
    Stories, ProvisioningStoryTest,
    ::testing::Values(
        StoryCase{"AnotherKeyAtTheSamePlace",
                  {{2, Act::InUse}, {8, Act::Fresh, 0, 2}, {14, Act::Fresh, 0, 3}},
                  0,
                  "Keys set: 2, skipped: 1, failed: 0."},
        StoryCase{"OpenedOnlyAtALaterLook",
                  {{2, Act::Fresh}, {2, Act::Refuse}, {6, Act::Allow}, {10, Act::Fresh, 1, 2}},
                  0,
                  "Keys set: 2, skipped: 0, failed: 0."},
        StoryCase{"RefusedWhileARepairWaits",
                  {{2, Act::Pulled}, {6, Act::Fresh, 1, 2}, {10, Act::Again}, {16, Act::Again, 1}},
                  0,
                  "Keys set: 2, skipped: 0, failed: 0."},
        StoryCase{"PutBackInPart",
                  {{2, Act::Pulled},
                   {6, Act::Again},
                   {6, Act::Refuse40},
                   {12, Act::Again},
                   {18, Act::Fresh, 1, 2}},
                  0,
                  "Keys set: 2, skipped: 0, failed: 0."},
        StoryCase{"PutBackAtTheEnd",
                  {{2, Act::Pulled}, {6, Act::CtrlC}, {10, Act::Again}},
                  8,
                  "Keys set: 0, skipped: 0, failed: 1."}),
    [](const auto& info) { return info.param.name; });

TEST_F(ProvisioningTest, AKeyThatCannotBeOpenedIsAFailedLine) {
    PlugInTurn({{2, vkey::FactoryInitialContents(kSerialA)}});
    term::Console().onPause = [previous = term::Console().onPause](int now) {
        if (now == 2) inproc::RefuseOpening(0, DiscoveryFailure::PermissionDenied);
        previous(now);
        term::Console().interrupted = now == 10;
    };
    Type({"first", "first"});
    EXPECT_EQ(8, Run({"init", "--each"}));
    EXPECT_TRUE(Has(Out(), "inproc:0  failed: The key at inproc:0 cannot be opened")) << Out();
    EXPECT_TRUE(Has(Out(), "Keys set: 0, skipped: 0, failed: 1.")) << Out();
}

}  // namespace
