// A key chosen by its serial number, as keyadmin-cli and the page choose it:
// the operation goes on over the choice's connection, and acts on that key
// or on none, whatever is plugged in at its place meanwhile.
#include <cstring>
#include <functional>
#include <utility>

#include "key_operations.h"
#include "link_fixture.h"

namespace {

using inproc::WireEventKind;

constexpr SerialNumber kChosen{1, 2, 3, 4};
const vkey::KeyContents kChosenKey = vkey::ProvisionedContents(kChosen, "oldpassword", "id", "l");
const vkey::KeyContents kOther = vkey::ProvisionedContents({9, 8, 7, 6}, "oldpassword", "id", "l");

std::function<void()> atPrompt;  // what happens at the user's next prompt
void Take(TextField& text, const char* typed) {
    if (atPrompt) std::exchange(atPrompt, nullptr)();
    text = {};
    std::copy_n(typed, std::strlen(typed), text.begin());
}
ChangeOutcome Change(PasswordField field) {
    const TakeText current = [](TextField& text) { Take(text, "oldpassword"); };
    const TakeText next = [](TextField& text) { Take(text, "NEWPASSWORD"); };
    return ChangeKeyField({field, FirstKeyPassword::Refused, next, next, current}).outcome;
}

// Each operation (true: done) and its exchanges after the choice's four.
const std::pair<bool (*)(), int> kOperations[] = {
    {[] { return ReadKeyStatus(keyIdentity).status == KeyStatus::Connected; }, 1 + 13},
    {[] {
         return UnlockLoginPassword([](TextField& text) { Take(text, "oldpassword"); }).outcome ==
                UnlockOutcome::Unlocked;
     },
     1 + 24},
    {[] { return Change(PasswordField::LoginPassword) == ChangeOutcome::Changed; }, 1 + 25},
    {[] { return Change(PasswordField::KeyPassword) == ChangeOutcome::Changed; }, 1 + 25},
};

class ChosenKeyTest : public LinkTest {
protected:
    static vkey::VirtualKey& Choose() {
        inproc::Reset();
        ForgetKeyPasswordRepair();
        vkey::VirtualKey& key = Attach(kChosenKey);
        SerialNumber serial{};
        EXPECT_TRUE(FindKeySerial(serial));
        EXPECT_EQ((std::vector<std::string>{"S1", "S2", "S3", "S4"}), Wire());
        ExpectKeySerial(serial);
        return key;
    }
};

// Before the operation or at its first prompt, the chosen key stays (no
// second discovery, one presence exchange), or is pulled and another key
// with the same passwords comes to its place, or the chosen key again, or
// nothing; or it falls silent (one limit, not two).
TEST_F(ChosenKeyTest, TheChosenKeyOrNone) {
    enum Arrival { Stays, Other, Same, Nothing, Silent };
    for (const auto& [run, exchanges] : kOperations)
        for (const bool inside : {false, true})
            for (const Arrival arrival : {Stays, Other, Same, Nothing, Silent}) {
                SCOPED_TRACE(std::to_string(exchanges) + (inside ? " inside " : " before ") +
                             std::to_string(arrival));
                vkey::VirtualKey& key = Choose();
                inproc::ClearEvents();
                atPrompt = [&key, arrival] {
                    if (arrival == Silent) key.SetSilent(true);
                    if (arrival == Stays || arrival == Silent) return;
                    inproc::PlugInAt(0, vkey::VirtualKey(arrival == Other ? kOther : kChosenKey));
                    if (arrival == Nothing) inproc::Devices()[0].Unplug();
                };
                if (!inside) std::exchange(atPrompt, nullptr)();
                const bool done = run();
                const bool asked = !std::exchange(atPrompt, nullptr);  // status asks nothing
                EXPECT_EQ(arrival == Stays || (!inside && arrival == Same) || !asked, done);
                EXPECT_LE(inproc::Count(WireEventKind::ReadTimeout), 1);
                if (arrival == Stays)
                    EXPECT_EQ(std::pair(exchanges, 0),
                              std::pair(inproc::Count(WireEventKind::Write),
                                        inproc::Count(WireEventKind::Discovery)));
                if (arrival != Other || !asked) continue;
                EXPECT_EQ(kOther.cells, inproc::Devices()[0].contents().cells);
                if (inside) continue;
                EXPECT_EQ((std::vector<std::string>{"S1", "S2", "S3", "S4"}), Wire());
                EXPECT_EQ(DiscoveryFailure::OtherKey, keyLink.discoveryFailure);
                EXPECT_EQ(kOther.serial, keyLink.keySerial);
            }
}

// A key-password change cut off during its writes (the key pulled, or
// silent after taking a write that may have left its cell torn, neither
// byte), then another key at its place: every operation leaves that key as
// it was, naming it, and the repair waits for the chosen key.
TEST_F(ChosenKeyTest, TheRepairWaitsForTheChosenKey) {
    enum Cut { Pulled, Silent, SilentTorn };
    for (const int cell : {0, 5, 9})  // from cell 10 on, NEWPASSWORD's cells are the old ones
        for (const Cut cut : {Pulled, Silent, SilentTorn}) {
            SCOPED_TRACE("cell " + std::to_string(cell) + " cut " + std::to_string(cut));
            vkey::VirtualKey& key = Choose();
            if (cut == Pulled) key.UnplugAfter(1 + 12 + cell);
            if (cut != Pulled) key.SilentAfter(1 + 12 + cell);
            EXPECT_EQ(ChangeOutcome::Interrupted, Change(PasswordField::KeyPassword));
            vkey::KeyContents left = key.contents();
            if (cut == SilentTorn) left.cells[40 + cell] = 0xA5;
            inproc::PlugInAt(0, vkey::VirtualKey(kOther));
            for (const auto& [run, exchanges] : kOperations) {
                EXPECT_FALSE(run());
                EXPECT_EQ(DiscoveryFailure::OtherKey, keyLink.discoveryFailure);
            }
            EXPECT_EQ(kOther.cells, inproc::Devices()[0].contents().cells);
            inproc::PlugInAt(0, vkey::VirtualKey(left));
            EXPECT_EQ(RepairOutcome::OldKeyPasswordBack, ReadKeyStatus(keyIdentity).repair);
            EXPECT_EQ(Padded("oldpassword"), Field(inproc::Devices()[0], 40));
        }
}

}  // namespace
