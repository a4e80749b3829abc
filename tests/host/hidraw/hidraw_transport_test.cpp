// The Linux transport on virtual hidraw nodes: which nodes discovery opens and
// takes, the reports on the wire, a key pulled out, silent or answering short,
// and the keys it may not use (unusable, not this user's, held by another
// process).
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <future>

#include "hidraw_fixture.h"

namespace {

using vhidraw::EventKind;

constexpr std::uint32_t kAtOnceMs = kExchangeLimitMs / 2;

using DiscoveryTest = HidrawTest;

TEST_F(DiscoveryTest, ForeignDevicesAreSkippedWithoutBeingOpened) {
    const int sameVendor = Add(Foreign(0x10F7, 0x1234));
    const int other = Add(Foreign(0x046D, 0xC077));
    const int key = Add(Key());
    ASSERT_EQ(1, DiscoverKey());
    EXPECT_EQ(DiscoveryFailure::None, keyLink.discoveryFailure);
    EXPECT_EQ(0, Count(sameVendor, EventKind::Open));
    EXPECT_EQ(0, Count(other, EventKind::Open));
    EXPECT_EQ(1, Count(key, EventKind::Open));
    EXPECT_EQ(65, keyLink.inputReportLength);
    EXPECT_EQ(65, keyLink.outputReportLength);
    const std::vector<std::string> paths = ListKeyPaths();
    EXPECT_EQ(std::vector<std::string>{"/dev/hidraw2"}, paths);
    EXPECT_EQ(0, Count(sameVendor, EventKind::Open));
    EXPECT_EQ(1, Count(key, EventKind::Open)) << "listing opens nothing";
}

TEST_F(DiscoveryTest, KeysAreListedByNumberAndChosenByPath) {
    // Eleven nodes, so that hidraw10 has to sort after hidraw9.
    std::vector<std::string> expected;
    for (std::uint8_t i = 0; i < 11; ++i) {
        if (i == 4) {
            Add(Foreign(0x10F7, 0x1234));
            continue;
        }
        Add(Key({i, 0, 0, 0}));
        expected.push_back("/dev/hidraw" + std::to_string(i));
    }
    EXPECT_EQ(expected, ListKeyPaths());

    ChooseKeyPath("/dev/hidraw10");
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(10, ReadSerialByte(1));
    ChooseKeyPath("/dev/hidraw4");  // the foreign device
    EXPECT_EQ(0, OpenKey(8));
    EXPECT_EQ(DiscoveryFailure::NoKey, keyLink.discoveryFailure);
    ChooseKeyPath("");
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(0, ReadSerialByte(1));
}

// A connection is named by the HID device behind the node, which the kernel
// numbers anew for every device it adds: a key pulled out and another given
// its node is a new connection at the same path.
TEST_F(DiscoveryTest, ConnectionsAreTheHidDevicesNames) {
    const int first = Add(Key());
    Add(Foreign(0x046D, 0xC077));
    Add(Key({5, 5, 5, 5}));
    const std::vector<KeyConnection> before{{"/dev/hidraw0", "0003:10F7:81E1.0001"},
                                            {"/dev/hidraw2", "0003:10F7:81E1.0003"}};
    EXPECT_EQ(before, ListKeyConnections());
    vhidraw::Unplug(first);
    EXPECT_EQ(std::vector<KeyConnection>{before[1]}, ListKeyConnections());
    vhidraw::DeviceOptions again = Key({7, 7, 7, 7});
    again.node = 0;
    Add(again);
    const std::vector<KeyConnection> after{{"/dev/hidraw0", "0003:10F7:81E1.0004"}, before[1]};
    EXPECT_EQ(after, ListKeyConnections());
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(7, ReadSerialByte(1)) << "the node is the new key's";
}

// sysfs shows a key at hidraw0, but the node opened there is a foreign
// device's (the key was pulled out and the node renumbered in between): it is
// closed without a frame written to it, and discovery goes on to the next.
TEST_F(DiscoveryTest, ARenumberedNodeIsClosedUntouched) {
    for (const bool keyAfterIt : {true, false}) {
        SCOPED_TRACE(keyAfterIt ? "a key after it" : "no other key");
        ASSERT_NO_FATAL_FAILURE(Restart());
        vhidraw::DeviceOptions renumbered = Foreign(0x046D, 0xC077);
        renumbered.sysfsShowsKey = true;
        const int foreign = Add(renumbered);
        if (keyAfterIt) Add(Key({6, 6, 6, 6}));
        EXPECT_EQ("/dev/hidraw0", ListKeyPaths().at(0)) << "sysfs shows a key there";
        EXPECT_EQ(keyAfterIt ? 0x81E1 : 0, OpenKey(8));
        EXPECT_EQ(keyAfterIt ? 6 : 0, ReadSerialByte(1));
        EXPECT_EQ(!keyAfterIt, LastExchangeFailed());
        EXPECT_EQ(keyAfterIt ? DiscoveryFailure::None : DiscoveryFailure::NoKey,
                  keyLink.discoveryFailure);
        EXPECT_STREQ("", keyLink.failedPath.data());
        EXPECT_GE(Count(foreign, EventKind::Open), 1);
        EXPECT_EQ(0, Count(foreign, EventKind::Write));
        CloseKey();
    }
}

TEST_F(DiscoveryTest, NoKeyAttached) {
    Add(Foreign(0x10F7, 0x1234));
    EXPECT_EQ(0, DiscoverKey());
    EXPECT_EQ(DiscoveryFailure::NoKey, keyLink.discoveryFailure);
    EXPECT_STREQ("", keyLink.failedPath.data());
    EXPECT_TRUE(ListKeyPaths().empty());
}

// The frame goes out whole, report ID 0 first; the reply comes in without its
// ID byte, lands after it, and byte 0 is put back.
struct Lengths {
    std::uint16_t input, output;
};

class ReportsTest : public HidrawTest, public ::testing::WithParamInterface<Lengths> {};

TEST_P(ReportsTest, GoOverTheWireWhole) {
    vhidraw::DeviceOptions options = Key();
    options.inputLength = GetParam().input;
    options.outputLength = GetParam().output;
    const int key = Add(options);
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(GetParam().input, keyLink.inputReportLength);
    EXPECT_EQ(GetParam().output, keyLink.outputReportLength);
    keyLink.inputReport[0] = 0xAA;
    EXPECT_EQ('1', ReadCell(40));  // the first byte of the key password
    ASSERT_FALSE(LastExchangeFailed());

    const auto write = Last(key, EventKind::Write);
    ASSERT_TRUE(write);
    EXPECT_EQ(GetParam().output, write->result);
    EXPECT_TRUE(std::ranges::equal(keyLink.outputReport, write->bytes));
    EXPECT_EQ(0, write->bytes[0]);
    const auto read = Last(key, EventKind::Read);
    ASSERT_TRUE(read);
    ASSERT_EQ(GetParam().input - 1, read->result);
    EXPECT_EQ(0, keyLink.inputReport[0]);
    EXPECT_TRUE(
        std::equal(read->bytes.begin(), read->bytes.end(), keyLink.inputReport.begin() + 1));
}

INSTANTIATE_TEST_SUITE_P(Lengths, ReportsTest,
                         ::testing::Values(Lengths{65, 65}, Lengths{4, 9}, Lengths{513, 33}),
                         [](const auto& info) {
                             return "Input" + std::to_string(info.param.input) + "Output" +
                                    std::to_string(info.param.output);
                         });

using FaultTest = HidrawTest;

// Pulled out on its second exchange's write, or while that exchange waits
// for its reply: either way the exchange ends at once, and the key is gone.
TEST_F(FaultTest, APulledKeyFailsAtOnce) {
    for (const bool whileWaiting : {false, true}) {
        SCOPED_TRACE(whileWaiting ? "pulled while a read waits" : "pulled on a write");
        ASSERT_NO_FATAL_FAILURE(Restart());
        vhidraw::DeviceOptions options = Key();
        (whileWaiting ? options.silentAfter : options.unplugAfter) = 1;
        const int key = Add(options);
        ASSERT_EQ(0x81E1, OpenKey(8));
        EXPECT_EQ('l', ReadCell(16));
        ASSERT_FALSE(LastExchangeFailed());
        if (whileWaiting) vhidraw::Unplug(key, 300);
        const std::uint64_t took = Timed([] { ReadCell(17); });
        EXPECT_TRUE(LastExchangeFailed());
        EXPECT_EQ(0, keyLink.linkState);
        EXPECT_LT(took, kAtOnceMs);
        if (whileWaiting) {
            EXPECT_GE(took, 300u);
        }
        EXPECT_FALSE(vhidraw::Plugged(key));
        EXPECT_EQ(0, DiscoverKey());
        EXPECT_EQ(DiscoveryFailure::NoKey, keyLink.discoveryFailure);
        CloseKey();
    }
}

TEST_F(FaultTest, ASilentKeyCostsOneTimeLimit) {
    vhidraw::DeviceOptions options = Key();
    options.silentAfter = 1;
    Add(options);
    ASSERT_EQ(0x81E1, OpenKey(8));
    ReadCell(16);
    ASSERT_FALSE(LastExchangeFailed());
    const std::uint64_t took = Timed([] { ReadCell(17); });
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_GE(took, kExchangeLimitMs);
    EXPECT_LT(took, kExchangeLimitMs + kAtOnceMs);
}

// usbhid holds a write until the key takes the report. A write that comes
// back after its limit was not taken in time, even though the key has the
// report and its reply is waiting: no exchange counts that reply.
struct HeldWrite {
    int delayMs;
    bool inTime;
};

class HeldWriteTest : public HidrawTest, public ::testing::WithParamInterface<HeldWrite> {};

TEST_P(HeldWriteTest, IsTakenOnlyWithinItsLimit) {
    constexpr std::uint32_t kLimitMs = 500;
    vhidraw::DeviceOptions options = Key();
    options.writeDelayMs = GetParam().delayMs;
    const int key = Add(options);
    keyLink.linkState = DiscoverKey();
    ASSERT_EQ(1, keyLink.linkState);
    const std::uint64_t took = Timed([] { SendReport(kLimitMs); });
    EXPECT_EQ(GetParam().inTime ? 1 : 0, keyLink.linkState);
    EXPECT_GE(took, static_cast<std::uint64_t>(GetParam().delayMs));
    EXPECT_EQ(1, Count(key, EventKind::Write)) << "the key has the report either way";
}

INSTANTIATE_TEST_SUITE_P(Writes, HeldWriteTest,
                         ::testing::Values(HeldWrite{200, true}, HeldWrite{800, false}),
                         [](const auto& info) {
                             return std::string(info.param.inTime ? "InTime" : "PastTheLimit");
                         });

TEST_F(FaultTest, AnExchangeWhoseWriteIsHeldPastTheLimitFails) {
    vhidraw::DeviceOptions options = Key();
    options.writeDelayMs = kExchangeLimitMs + 300;
    const int key = Add(options);
    ASSERT_EQ(0x81E1, OpenKey(8));
    const std::uint64_t took = Timed([] { ReadCell(16); });
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_GE(took, kExchangeLimitMs + 300);
    EXPECT_LT(took, kExchangeLimitMs + 300 + kAtOnceMs);
    EXPECT_EQ(1, Count(key, EventKind::Write));
    EXPECT_EQ(0, Count(key, EventKind::Read)) << "the reply waiting was not read";
}

// A node that wakes poll() again and again with nothing to read: the read
// still ends at the exchange's deadline. Should it wait on past it, the key
// is pulled out after a margin to end the wait, and the test fails.
TEST_F(FaultTest, WakesWithoutDataEndAtTheDeadline) {
    vhidraw::DeviceOptions options = Key();
    options.silentAfter = 1;
    options.wakesWithoutReports = true;
    const int key = Add(options);
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ('l', ReadCell(16));
    ASSERT_FALSE(LastExchangeFailed());
    auto exchange = std::async(std::launch::async, [] { return Timed([] { ReadCell(17); }); });
    const auto margin = std::chrono::milliseconds(kExchangeLimitMs + 2000);
    if (exchange.wait_for(margin) != std::future_status::ready) {
        ADD_FAILURE() << "the read went on past the exchange's deadline";
        vhidraw::Unplug(key);
    }
    const std::uint64_t took = exchange.get();
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_GE(took, kExchangeLimitMs);
    EXPECT_LT(took, kExchangeLimitMs + kAtOnceMs);
    int wakes = 0;
    for (const vhidraw::Event& event : vhidraw::Events())
        wakes += event.device == key && event.kind == EventKind::Read && event.result == -EAGAIN;
    EXPECT_GE(wakes, 2) << "the node woke the read without data";
}

TEST_F(FaultTest, AShortReadIsNoReply) {
    vhidraw::DeviceOptions options = Key();
    options.shortReplyAfter = 1;
    const int key = Add(options);
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ('l', ReadCell(16));
    const std::uint64_t took = Timed([] { ReadCell(17); });
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_LT(took, kAtOnceMs);
    const auto read = Last(key, EventKind::Read);
    ASSERT_TRUE(read);
    EXPECT_EQ(63, read->result);
    // The next exchange finds the key again and gets its whole reply.
    EXPECT_EQ('o', ReadCell(17));
    EXPECT_FALSE(LastExchangeFailed());
}

// Keys discovery finds but may not use: the failure names the node.
struct Refusal {
    const char* name;
    vhidraw::DeviceOptions options;
    DiscoveryFailure why;
    bool opened;  // whether the node is opened to find out
};

vhidraw::DeviceOptions With(void (*change)(vhidraw::DeviceOptions&)) {
    vhidraw::DeviceOptions options;
    change(options);
    return options;
}

const Refusal kRefusals[] = {
    {"UnparsableDescriptor", With([](auto& s) { s.unparsableDescriptor = true; }),
     DiscoveryFailure::Unusable, false},
    {"InputReportTooShort", With([](auto& s) { s.inputLength = 3; }), DiscoveryFailure::Unusable,
     false},
    {"OutputReportTooShort", With([](auto& s) { s.outputLength = 8; }), DiscoveryFailure::Unusable,
     false},
    {"NoOutputReport", With([](auto& s) { s.outputLength = 0; }), DiscoveryFailure::Unusable,
     false},
    {"InputReportLongerThanTheBuffers", With([](auto& s) { s.inputLength = kMaxReportLength + 1; }),
     DiscoveryFailure::Unusable, false},
    {"HeldByAnotherProcess", With([](auto& s) { s.held = true; }), DiscoveryFailure::InUse, true},
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class RefusalTest : public HidrawTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, NamesTheNode) {
    Add(Foreign(0x10F7, 0x1234));
    const int key = Add(GetParam().options);
    EXPECT_EQ(std::vector<std::string>{"/dev/hidraw1"}, ListKeyPaths());
    EXPECT_EQ(0, DiscoverKey());
    EXPECT_EQ(GetParam().why, keyLink.discoveryFailure);
    EXPECT_STREQ("/dev/hidraw1", keyLink.failedPath.data());
    EXPECT_EQ(GetParam().opened ? 1 : 0, Count(key, EventKind::Open));

    // A usable key after it is taken, and the failure forgotten.
    Add(Key({9, 9, 9, 9}));
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(DiscoveryFailure::None, keyLink.discoveryFailure);
    EXPECT_STREQ("", keyLink.failedPath.data());
    EXPECT_EQ(9, ReadSerialByte(1));
}

INSTANTIATE_TEST_SUITE_P(Keys, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

using AccessTest = HidrawTest;

// Run as another user where this test runs as root (root opens any node).
TEST_F(AccessTest, PermissionDeniedNamesTheNode) {
    vhidraw::DeviceOptions options = Key();
    options.mode = 0;
    Add(options);
    EXPECT_EQ("failed PermissionDenied /dev/hidraw0", RunProbe({"discover"}, true));
    Add(Key({9, 9, 9, 9}));
    EXPECT_EQ("found", RunProbe({"discover"}, true));
}

TEST_F(AccessTest, AKeyHeldByAnotherProcessIsInUseUntilItLetsGo) {
    Add(Key());
    Probe holder = StartProbe({"hold", "1000"});
    ASSERT_EQ("holding", ReadLine(holder));
    EXPECT_EQ(0, DiscoverKey());
    EXPECT_EQ(DiscoveryFailure::InUse, keyLink.discoveryFailure);
    EXPECT_STREQ("/dev/hidraw0", keyLink.failedPath.data());
    EXPECT_EQ(0, Wait(holder));
    EXPECT_EQ(1, DiscoverKey());
}

TEST_F(AccessTest, TheKeyIsHeldUntilCloseKey) {
    Add(Key());
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ("failed InUse /dev/hidraw0", RunProbe({"discover"}));
    // The process's own hold does not keep its own rediscovery out.
    ASSERT_EQ(1, DiscoverKey());
    EXPECT_EQ("failed InUse /dev/hidraw0", RunProbe({"discover"}));
    CloseKey();
    EXPECT_EQ("found", RunProbe({"discover"}));
}

}  // namespace
