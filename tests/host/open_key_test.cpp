// Opening the key: generation, discovery and what it leaves in the link.
#include "key_transport.h"
#include "link_fixture.h"

using inproc::WireEventKind;
using OpenKeyTest = LinkTest;

TEST_F(OpenKeyTest, GenerationOutOfRangeChangesNothing) {
    Attach();
    ASSERT_EQ(0x81E1, OpenKey(8));
    const KeyLink before = keyLink;
    inproc::ClearEvents();
    EXPECT_EQ(0, OpenKey(7));
    EXPECT_EQ(0, OpenKey(16));
    EXPECT_EQ(0, OpenKey(0));
    EXPECT_EQ(0, OpenKey(255));
    EXPECT_TRUE(inproc::Events().empty());
    EXPECT_EQ(before.linkState, keyLink.linkState);
    EXPECT_EQ(before.openedFlag, keyLink.openedFlag);
    EXPECT_EQ(before.queryHandle, keyLink.queryHandle);
    EXPECT_EQ(0x81, deviceProfile.productIdHigh);
    EXPECT_EQ(0xE1, deviceProfile.productIdLow);
}

TEST_F(OpenKeyTest, OpensTheKeyOrClearsTheFlag) {
    vkey::VirtualKey& key = Attach();
    EXPECT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(0x3FF, keyLink.openedFlag);
    EXPECT_EQ(1, keyLink.linkState);
    key.Unplug();
    EXPECT_EQ(0, OpenKey(8));
    EXPECT_EQ(0, keyLink.openedFlag);
    EXPECT_EQ(0, keyLink.linkState);
}

TEST_F(OpenKeyTest, GenerationBecomesTheTopOfTheProductId) {
    Attach();  // product 0x81E1
    EXPECT_EQ(0, OpenKey(9));
    EXPECT_EQ(0x91, deviceProfile.productIdHigh);
    Attach(vkey::FactoryInitialContents({5, 5, 5, 5}), Foreign(0x10F7, 0x91E1));
    EXPECT_EQ(0x91E1, OpenKey(9));
    EXPECT_EQ(inproc::Devices().size() - 1,
              static_cast<std::size_t>(reinterpret_cast<std::intptr_t>(keyLink.queryHandle) - 1));
    EXPECT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(reinterpret_cast<void*>(1), keyLink.queryHandle);
}

TEST_F(OpenKeyTest, FirstMatchingDeviceWinsAndOthersAreClosed) {
    Attach(vkey::FactoryInitialContents({0, 0, 0, 1}), Foreign(0x046D, 0xC077));
    Attach(vkey::FactoryInitialContents({0, 0, 0, 2}), Foreign(0x10F7, 0x1234));
    vkey::DeviceConfig unreadable;
    unreadable.attributesReadable = false;
    Attach(vkey::FactoryInitialContents({0, 0, 0, 3}), unreadable);
    Attach(vkey::ProvisionedContents({0xAA, 0, 0, 4}, "", "", ""));
    Attach(vkey::ProvisionedContents({0xBB, 0, 0, 5}, "", "", ""));
    ASSERT_EQ(0x81E1, OpenKey(8));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(1, inproc::OpenCount(i)) << "device " << i << " examined once";
        EXPECT_EQ(0, inproc::OpenHandles(i)) << "device " << i << " closed again";
    }
    EXPECT_EQ(2, inproc::OpenHandles(3));  // write and read handle
    EXPECT_EQ(0, inproc::OpenCount(4));
    EXPECT_EQ(0xAA, ReadSerialByte(1));
}

TEST_F(OpenKeyTest, ReopeningDoesNotAccumulateHandles) {
    Attach();
    for (int i = 0; i < 100; ++i) ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(2, inproc::OpenHandles(0));
}

// A key whose reports cannot carry a frame and a reply, or are longer than
// the link's buffers, is refused as unusable, and the next key is tried.
TEST_F(OpenKeyTest, ReportsTheLinkCannotCarryAreRefused) {
    const struct {
        const char* name;
        std::uint16_t output, input;
    } cases[] = {
        {"output report of 8 bytes", 8, 65},
        {"input report of 3 bytes", 65, 3},
        {"output report longer than the buffers", kMaxReportLength + 1, 65},
        {"input report longer than the buffers", 65, kMaxReportLength + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        inproc::Reset();
        vkey::DeviceConfig refused;
        refused.outputReportLength = c.output;
        refused.inputReportLength = c.input;
        Attach(vkey::FactoryInitialContents({0, 0, 0, 1}), refused);
        EXPECT_EQ(0, OpenKey(8));
        EXPECT_EQ(DiscoveryFailure::Unusable, keyLink.discoveryFailure);

        Attach(vkey::FactoryInitialContents({0, 0, 0, 2}));
        EXPECT_EQ(0x81E1, OpenKey(8));
        EXPECT_EQ(2, ReadSerialByte(4));
        EXPECT_EQ(0, inproc::Devices()[0].exchanges());
    }
}

// The shortest reports that carry the framing and the longest the buffers
// hold both serve.
TEST_F(OpenKeyTest, TheShortestAndTheLongestUsableReportsServe) {
    for (const std::uint16_t output : {kMinOutputReportLength, kMaxReportLength}) {
        const std::uint16_t input =
            output == kMaxReportLength ? kMaxReportLength : kMinInputReportLength;
        SCOPED_TRACE(output);
        inproc::Reset();
        vkey::DeviceConfig config;
        config.outputReportLength = output;
        config.inputReportLength = input;
        Attach(vkey::FactoryInitialContents({0, 0, 0, 3}), config);
        ASSERT_EQ(0x81E1, OpenKey(8));
        EXPECT_EQ(3, ReadSerialByte(4));
        EXPECT_FALSE(LastExchangeFailed());
        EXPECT_EQ(output, keyLink.outputReport.size());
        EXPECT_EQ(input, keyLink.inputReport.size());
    }
}

TEST_F(OpenKeyTest, ReportBuffersFollowTheDiscoveredLengths) {
    vkey::DeviceConfig small;
    small.outputReportLength = 9;
    small.inputReportLength = 9;
    vkey::VirtualKey& first = Attach(vkey::FactoryInitialContents({1, 0, 0, 0}), small);
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(9u, keyLink.outputReport.size());
    EXPECT_EQ(9u, keyLink.inputReport.size());
    EXPECT_EQ(1, ReadSerialByte(1));

    first.Unplug();
    Attach(vkey::FactoryInitialContents({2, 0, 0, 0}));  // 65-byte reports
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(65, keyLink.outputReportLength);
    EXPECT_EQ(65, keyLink.inputReportLength);
    EXPECT_EQ(65u, keyLink.outputReport.size());
    EXPECT_EQ(2, ReadSerialByte(1));
    EXPECT_FALSE(LastExchangeFailed());
}

// Each attachment of a key is a connection of its own: pulled and plugged
// back, or another key put in its place, the path stays and the connection
// does not; a key that stays attached keeps its connection.
TEST_F(OpenKeyTest, ConnectionsTellAttachmentsApart) {
    struct Step {
        const char* what;
        void (*change)();
        bool sameConnection;
    };
    const Step steps[] = {
        {"nothing happened", [] {}, true},
        {"Replug of a key still attached", [] { inproc::Devices()[1].Replug(); }, true},
        {"pulled and plugged back",
         [] {
             inproc::Devices()[1].Unplug();
             inproc::Devices()[1].Replug();
         },
         false},
        {"another key in its place",
         [] {
             inproc::Devices()[1] = vkey::VirtualKey(vkey::FactoryInitialContents({9, 9, 9, 9}));
         },
         false},
    };
    Attach(vkey::FactoryInitialContents({0, 0, 0, 1}), Foreign(0x046D, 0xC077));
    Attach();
    Attach(vkey::FactoryInitialContents({0, 0, 0, 3}));
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const std::vector<KeyConnection> before = ListKeyConnections();
        step.change();
        const std::vector<KeyConnection> after = ListKeyConnections();
        ASSERT_EQ(2u, after.size());
        EXPECT_EQ(ListKeyPaths(), (std::vector<std::string>{after[0].path, after[1].path}));
        EXPECT_EQ(before[0].path, after[0].path);
        EXPECT_EQ(step.sameConnection, before[0].connection == after[0].connection);
        EXPECT_EQ(before[1], after[1]) << "the other key's connection stays";
        EXPECT_NE(after[0].connection, after[1].connection);
    }
}
