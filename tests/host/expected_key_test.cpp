// The key a front end expects: whichever way the link opens a key, OpenKey
// or an exchange that finds it again after the link was lost, its serial
// number goes first, and another key gets nothing more.
#include "link_fixture.h"

namespace {

using ExpectedKeyTest = LinkTest;

constexpr SerialNumber kChosen{1, 2, 3, 4};
constexpr SerialNumber kOther{9, 8, 7, 6};

TEST_F(ExpectedKeyTest, AnotherKeyGetsItsSerialExchangesAndNothingMore) {
    for (const bool lostFirst : {false, true})
        for (const SerialNumber there : {kChosen, kOther}) {
            SCOPED_TRACE(std::to_string(lostFirst) + std::to_string(there == kChosen));
            inproc::Reset();
            vkey::VirtualKey& chosen = Attach(vkey::ProvisionedContents(kChosen, "pw", "a", "b"));
            ExpectKeySerial(kChosen);
            if (lostFirst) {
                ASSERT_NE(0, OpenKey(8));
                chosen.Unplug();
                ReadCell(40);  // the link is lost
            }
            inproc::PlugInAt(0, vkey::VirtualKey(vkey::ProvisionedContents(there, "pw", "c", "")));
            const vkey::KeyContents before = inproc::Devices()[0].contents();
            inproc::ClearEvents();
            if (!lostFirst) OpenKey(8);
            const std::uint8_t cell = ReadCell(16);
            WriteCell(20, 'x');

            const bool same = there == kChosen;
            std::vector<std::string> wire{"S1", "S2", "S3", "S4"};
            if (same) wire.insert(wire.end(), {"R16", "W20"});
            EXPECT_EQ(wire, Wire());
            EXPECT_EQ(!same, LastExchangeFailed());
            if (same) EXPECT_EQ('c', cell);
            EXPECT_EQ(same ? DiscoveryFailure::None : DiscoveryFailure::OtherKey,
                      keyLink.discoveryFailure);
            EXPECT_EQ(there, keyLink.keySerial);
            EXPECT_EQ(same ? 2 : 0, inproc::OpenHandles(0)) << "another key is closed again";
            if (!same) EXPECT_EQ(before.cells, inproc::Devices()[0].contents().cells);
        }
}

// The key open now goes on only while its serial number, read on this
// connection, is the one expected, and no key path was chosen since.
TEST_F(ExpectedKeyTest, TheOpenKeyGoesOnWhileItIsTheOneExpected) {
    for (const auto& [expected, choose] :
         {std::pair{kChosen, false}, {kOther, false}, {kChosen, true}}) {
        inproc::Reset();
        Attach(vkey::ProvisionedContents(kChosen, "pw", "a", "b"));
        SerialNumber serial{};
        ASSERT_TRUE(OpenKey(8) != 0 && ReadSerialNumber(serial));
        ExpectKeySerial(expected);
        if (choose) ChooseKeyPath(inproc::PathOf(0));
        EXPECT_EQ(expected == kChosen && !choose, OpenedKeyIsExpected());
    }
}

}  // namespace
