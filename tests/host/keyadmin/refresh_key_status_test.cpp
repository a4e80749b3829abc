// The status refresh against the virtual key: what it reads, in which order,
// what it decides and what it keeps when the key is gone.
#include "admin_fixture.h"
#include "expected_texts.h"

namespace {

using inproc::WireEventKind;
using RefreshTest = AdminTest;

using expected::kAttachedStatus;
using expected::kInitialStatus;
using expected::kNotFoundStatus;

std::string LoginId() {
    return keyIdentity.loginId.data();
}

TEST_F(RefreshTest, ReadsPresenceSerialLoginIdAndMark) {
    Attach(vkey::ProvisionedContents({0xDE, 0xAD, 0x00, 0x81}, "secret", "alice", "pw"));
    EXPECT_EQ(1, RefreshKeyStatus());

    EXPECT_EQ(Join({{"S1", "S1", "S2", "S3", "S4"}, Cells('R', 16, 12), {"R40"}}), Wire());
    EXPECT_EQ(18, inproc::Count(WireEventKind::Write));
    EXPECT_EQ(1, inproc::Count(WireEventKind::Discovery));
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
    EXPECT_EQ((std::array<std::uint8_t, 4>{0xDE, 0xAD, 0x00, 0x81}), keyIdentity.serial);
    EXPECT_EQ("alice", LoginId());
    EXPECT_EQ(std::vector<std::string>{kAttachedStatus}, Window().statusTexts);
    // The refresh leaves the menu and the message boxes to the window.
    EXPECT_TRUE(Window().menuUpdates.empty());
    EXPECT_TRUE(Window().boxes.empty());
}

TEST_F(RefreshTest, FieldContentsAreTakenAsTheyAre) {
    // A login ID filling all 12 cells is shown whole.
    vkey::VirtualKey& key =
        Attach(vkey::ProvisionedContents({1, 2, 3, 4}, "k", "abcdefghijkl", ""));
    RefreshKeyStatus();
    EXPECT_EQ("abcdefghijkl", LoginId());
    EXPECT_EQ(0, keyIdentity.loginId[12]);

    // Blank cells are ordinary values.
    std::fill_n(key.contents().cells.begin() + 16, 12, 0xFF);
    RefreshKeyStatus();
    EXPECT_EQ(std::string(12, '\xFF'), LoginId());
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);

    // A shorter ID after a longer one leaves no tail.
    key.contents() = vkey::ProvisionedContents({1, 2, 3, 4}, "k", "bob", "");
    RefreshKeyStatus();
    EXPECT_EQ("bob", LoginId());
    EXPECT_EQ(std::string(16 - 3, '\0'),
              std::string(keyIdentity.loginId.begin() + 3, keyIdentity.loginId.end()));
}

TEST_F(RefreshTest, CarriageReturnInCell40MeansFactoryInitial) {
    vkey::KeyContents contents = vkey::ProvisionedContents({5, 6, 7, 8}, "", "carol", "x");
    contents.cells[40] = 0x0D;
    contents.cells[41] = 'z';  // other key-password cells do not matter
    contents.cells[51] = 0xFF;
    Attach(contents);
    RefreshKeyStatus();
    EXPECT_EQ(KeyStatus::Initial, keyIdentity.status);
    EXPECT_EQ(std::vector<std::string>{kInitialStatus}, Window().statusTexts);
    // The identity is read all the same.
    EXPECT_EQ("carol", LoginId());
    EXPECT_EQ((std::array<std::uint8_t, 4>{5, 6, 7, 8}), keyIdentity.serial);

    // 0x0D anywhere else is no mark.
    inproc::Devices()[0].contents().cells[40] = 'a';
    inproc::Devices()[0].contents().cells[41] = 0x0D;
    RefreshKeyStatus();
    EXPECT_EQ(KeyStatus::Connected, keyIdentity.status);
}

TEST_F(RefreshTest, NoKeyKeepsTheOldIdentityButReportsNotFound) {
    Attach(vkey::ProvisionedContents({1, 2, 3, 4}, "k", "alice", ""));
    RefreshKeyStatus();
    inproc::Devices()[0].Unplug();
    inproc::ClearEvents();
    Window().statusTexts.clear();

    EXPECT_EQ(1, RefreshKeyStatus());
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
    EXPECT_EQ(std::vector<std::string>{kNotFoundStatus}, Window().statusTexts);
    EXPECT_EQ(0, inproc::Count(WireEventKind::Write));
    EXPECT_EQ((std::array<std::uint8_t, 4>{1, 2, 3, 4}), keyIdentity.serial);
    EXPECT_EQ("alice", LoginId());
}

// A key pulled halfway: the answers after the failed write would be the
// last real reply over again. Nothing of it reaches the identity, and no
// exchange follows the failed one, not even on a second key that is there.
TEST_F(RefreshTest, KeyLostHalfwayShowsNoStaleBytes) {
    const std::vector<std::string> refresh =
        Join({{"S1", "S1", "S2", "S3", "S4"}, Cells('R', 16, 12), {"R40"}});
    for (int answered : {1, 3, 5, 11, 17}) {  // presence, serial, serial, login ID, cell 40
        SCOPED_TRACE(answered);
        inproc::Reset();
        fakewin::ResetWindow();
        Attach(vkey::ProvisionedContents({1, 2, 3, 4}, "k", "alice", ""));
        RefreshKeyStatus();
        vkey::VirtualKey silentSpare(vkey::ProvisionedContents({5, 5, 5, 5}, "k", "spare", ""));
        silentSpare.SetSilent(true);
        inproc::Devices().push_back(silentSpare);
        vkey::VirtualKey& first = inproc::Devices()[0];
        first.contents() = vkey::ProvisionedContents({9, 8, 7, 6}, "k", "mallory", "");
        first.UnplugAfter(answered);
        inproc::ClearEvents();
        Window().statusTexts.clear();

        RefreshKeyStatus();
        EXPECT_EQ(std::vector<std::string>(refresh.begin(), refresh.begin() + answered), Wire());
        EXPECT_EQ(1, inproc::Count(WireEventKind::WriteFailed));
        EXPECT_EQ(1, inproc::Count(WireEventKind::Discovery));
        EXPECT_EQ(0, inproc::Count(WireEventKind::ReadTimeout));
        EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
        EXPECT_EQ(std::vector<std::string>{kNotFoundStatus}, Window().statusTexts);
        EXPECT_EQ((std::array<std::uint8_t, 4>{1, 2, 3, 4}), keyIdentity.serial);
        EXPECT_EQ("alice", LoginId());
    }
}

TEST_F(RefreshTest, SilentKeyCostsOneTimeout) {
    Attach(vkey::ProvisionedContents({1, 2, 3, 4}, "k", "alice", "")).SetSilent(true);
    RefreshKeyStatus();
    EXPECT_EQ(1, inproc::Count(WireEventKind::Write));
    EXPECT_EQ(1, inproc::Count(WireEventKind::ReadTimeout));
    EXPECT_EQ(KeyStatus::NotFound, keyIdentity.status);
    EXPECT_EQ(std::vector<std::string>{kNotFoundStatus}, Window().statusTexts);
}

}  // namespace
