// After every operation, whatever its outcome, the key link's report buffers
// hold nothing of what went over the wire: not the last answer read (a byte
// of a password), not the last frame written (a password byte, recoverable
// with the frame's sequence number). The last answer is forgotten too.
#include <algorithm>

#include "admin_fixture.h"

namespace {

using ReportWipeTest = AdminTest;

struct Scenario {
    const char* name;
    void (*arrange)();
    int (*operation)();
};

int Refresh() {
    return RefreshKeyStatus();
}
int Show() {
    return ShowLoginPassword(kOwner);
}
int Change() {
    return ChangePassword(kOwner);
}

// A key whose passwords fill every cell, so that no answer is zero.
vkey::VirtualKey& FullKey() {
    return AdminTest::Provisioned("abcdefghijk", "ABCDEFGHIJKL");
}

const Scenario kScenarios[] = {
    {"refresh", [] { FullKey(); }, Refresh},
    {"refresh, key pulled halfway", [] { FullKey().UnplugAfter(9); }, Refresh},
    {"refresh, key falling silent", [] { FullKey().SilentAfter(17); }, Refresh},
    {"display", [] { FullKey(), fakewin::ViewForm("abcdefghijk"); }, Show},
    {"display, wrong password", [] { FullKey(), fakewin::ViewForm("abc"); }, Show},
    {"display, key pulled during the login password",
     [] { FullKey().UnplugAfter(20), fakewin::ViewForm("abcdefghijk"); }, Show},
    {"login password change",
     [] { FullKey(), fakewin::LoginChangeForm("abcdefghijk", "newlogin"); }, Change},
    {"key password change",
     [] { FullKey(), fakewin::KeyChangeForm("abcdefghijk", "newkey", "newkey"); }, Change},
    {"first key password",
     [] { AdminTest::FactoryInitial(), fakewin::KeyChangeForm("", "first", "first"); }, Change},
    {"change, confirmation mismatch",
     [] { FullKey(), fakewin::KeyChangeForm("abcdefghijk", "new1", "new2"); }, Change},
    {"change, key pulled during the writes",
     [] { FullKey().UnplugAfter(17), fakewin::KeyChangeForm("abcdefghijk", "nk", "nk"); }, Change},
    {"change, key falling silent during the writes",
     [] { FullKey().SilentAfter(17), fakewin::LoginChangeForm("abcdefghijk", "nl"); }, Change},
    {"change, refused write",
     [] {
         FullKey().RefuseWritesTo(31);
         fakewin::LoginChangeForm("abcdefghijk", "newlogin");
     },
     Change},
};

TEST_F(ReportWipeTest, ReportBuffersAreZeroAfterEveryOperation) {
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        NextRound();
        scenario.arrange();
        scenario.operation();

        ASSERT_FALSE(Window().boxes.empty() && Window().statusTexts.empty());
        EXPECT_EQ(65, std::ranges::count(keyLink.inputReport, 0));
        EXPECT_EQ(65, std::ranges::count(keyLink.outputReport, 0));
        // With the key gone, a command answers the last answer: forgotten.
        inproc::Devices()[0].Unplug();
        ASSERT_EQ(0, OpenKey(kKeyGeneration));
        EXPECT_EQ(0, ReadSerialByte(1));
    }
}

}  // namespace
