// The real Windows HID transport against the virtual-key server: the
// program's own CreateFileA, WriteFile, overlapped ReadFile, waits and
// cancels run on Wine's kernel32; only hid.dll and setupapi.dll are the
// stand-ins next to this executable.
#include "key_transport.h"
#include "server_fixture.h"

namespace {

// The server's "handles <id>" reply: "ok <open now> <opened ever>".
struct HandleCounts {
    int open = -1;
    int opens = -1;
};

HandleCounts Handles(const std::string& id) {
    std::istringstream in(Control("handles " + id));
    std::string ok;
    HandleCounts counts;
    in >> ok >> counts.open >> counts.opens;
    return counts;
}

int OpenHandles(const std::string& id) {
    return Handles(id).open;
}
int Opens(const std::string& id) {
    return Handles(id).opens;
}

using HidTransportTest = ServerTest;

// A thread's exchange: ReadCell(41), and its milliseconds into *elapsed.
DWORD WINAPI ReadCell41(void* elapsed) {
    *static_cast<DWORD*>(elapsed) = Elapsed([] { ReadCell(41); });
    return 0;
}

// ReadCell(41) on a thread; its milliseconds, or pulls the key out and fails
// the test when it has not ended within 10 s.
DWORD ReadCell41Within10s(const std::string& key) {
    DWORD elapsed = 0;
    HANDLE exchange = CreateThread(nullptr, 0, ReadCell41, &elapsed, 0, nullptr);
    EXPECT_NE(nullptr, exchange);
    if (!exchange) return 0;
    if (WaitForSingleObject(exchange, 10000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the exchange did not end within 10 s: it has no limit";
        Control("unplug " + key);
        WaitForSingleObject(exchange, INFINITE);
    }
    CloseHandle(exchange);
    return elapsed;
}

}  // namespace

TEST_F(HidTransportTest, NoDeviceIsNotFound) {
    EXPECT_EQ(0, OpenKey(8));
    EXPECT_EQ(0, keyLink.openedFlag);
    EXPECT_NE(0, IsKeyPresent());
}

// Among the same vendor's devices, one whose product ID differs only in its
// top four bits (the key model's generation) is another model, not the key.
TEST_F(HidTransportTest, ForeignDevicesAreExaminedClosedAndSkipped) {
    const std::string other = IdOf(Control("add-device vendor=046d product=c077"));
    const std::string sameVendor = IdOf(Control("add-device vendor=10f7 product=1234"));
    const std::string nextGeneration = IdOf(Control("add-key product=91e1 serial=09090909"));
    const std::string noGeneration = IdOf(Control("add-key product=01e1 serial=00000000"));
    const std::string key = IdOf(Control("add-key serial=0a0b0c0d"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(0, IsKeyPresent());
    EXPECT_EQ(0x0B, ReadSerialByte(2));
    EXPECT_FALSE(LastExchangeFailed());
    for (const std::string& id : {other, sameVendor, nextGeneration, noGeneration}) {
        EXPECT_EQ(1, Opens(id)) << "device " << id;
        EXPECT_EQ(0, OpenHandles(id)) << "device " << id;
    }
    EXPECT_EQ(2, OpenHandles(key));
    EXPECT_EQ(std::vector<std::string>{ListedPath(key)}, ListKeyPaths());
}

TEST_F(HidTransportTest, FirstOfTwoKeysIsUsed) {
    Control("add-key serial=01010101");
    Control("add-key serial=02020202");
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(0x01, ReadSerialByte(1));
}

// Every attached key is listed, in the order the services list them; a
// chosen one is the only one discovery takes, and closing it leaves no
// handle open on it.
TEST_F(HidTransportTest, EveryKeyIsListedAndTheChosenOneIsOpened) {
    Control("add-device vendor=10f7 product=91e1");
    const std::string first = IdOf(Control("add-key serial=01010101"));
    const std::string second = IdOf(Control("add-key serial=02020202"));
    const std::vector<std::string> paths = ListKeyPaths();
    ASSERT_EQ((std::vector<std::string>{ListedPath(first), ListedPath(second)}), paths);
    EXPECT_EQ(0, OpenHandles(first)) << "listing leaves no handle open";
    // Windows names a connection by its interface's path.
    EXPECT_EQ((std::vector<KeyConnection>{{paths[0], paths[0]}, {paths[1], paths[1]}}),
              ListKeyConnections());

    const int firstOpens = Opens(first);
    ChooseKeyPath(paths[1]);
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(0x02, ReadSerialByte(1));
    EXPECT_EQ(firstOpens, Opens(first)) << "the first key is not opened for it";
    CloseKey();
    EXPECT_EQ(0, OpenHandles(second));
    EXPECT_EQ(0, keyLink.openedFlag);
    EXPECT_NE(0, IsKeyPresent());

    Control("unplug " + second);
    EXPECT_EQ(0, OpenKey(8)) << "the chosen key is gone; another key is not taken instead";
    EXPECT_EQ(DiscoveryFailure::NoKey, keyLink.discoveryFailure);
    ChooseKeyPath("");
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(0x01, ReadSerialByte(1));
    EXPECT_EQ(DiscoveryFailure::None, keyLink.discoveryFailure);
}

// A key whose output report cannot carry a frame is not used, and the
// discovery says which one it was.
TEST_F(HidTransportTest, KeyWithReportsTooShortIsUnusable) {
    const std::string key = IdOf(Control("add-key output=8"));
    EXPECT_EQ(0, OpenKey(8));
    EXPECT_EQ(DiscoveryFailure::Unusable, keyLink.discoveryFailure);
    EXPECT_EQ(ListedPath(key), keyLink.failedPath.data());
    EXPECT_EQ(0, OpenHandles(key));
}

TEST_F(HidTransportTest, ReportLengthsComeFromTheCapabilities) {
    Control("add-key input=9 output=9");
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(9, keyLink.inputReportLength);
    EXPECT_EQ(9, keyLink.outputReportLength);
    EXPECT_EQ(0x0D, ReadCell(40));
    EXPECT_FALSE(LastExchangeFailed());

    Control("clear");
    Control("add-key input=65 output=65 key-password=pw");
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(65, keyLink.inputReportLength);
    EXPECT_EQ('p', ReadCell(40));
}

TEST_F(HidTransportTest, SilentKeyTimesOutThenAnswersCleanly) {
    const std::string key = IdOf(Control("add-key key-password=abc"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    Control("silent " + key + " on");
    const DWORD start = GetTickCount();
    ReadCell(40);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, keyLink.linkState);
    EXPECT_EQ(kOpenedFlagValue, keyLink.openedFlag);
    EXPECT_GE(elapsed, 2900u);
    EXPECT_LT(elapsed, 6000u);

    Control("silent " + key + " off");
    EXPECT_EQ('a', ReadCell(40));  // re-discovers, then a clean exchange
    EXPECT_FALSE(LastExchangeFailed());
    EXPECT_EQ('b', ReadCell(41));
}

TEST_F(HidTransportTest, KeyPulledOutFailsWithoutWaitingOutTheTimeout) {
    const std::string key = IdOf(Control("add-key"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    Control("unplug " + key);
    const DWORD start = GetTickCount();
    ReadCell(40);
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, keyLink.linkState);
    EXPECT_LT(GetTickCount() - start, 2000u);

    Control("replug " + key);
    EXPECT_EQ(0x0D, ReadCell(40)) << "the replugged key is found again";
    EXPECT_FALSE(LastExchangeFailed());
}

TEST_F(HidTransportTest, RepeatedDiscoveriesLeaveTwoHandlesOnTheKey) {
    const std::string key = IdOf(Control("add-key"));
    void* readEvent = nullptr;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(0x81E1, OpenKey(8));
        if (i == 0) readEvent = keyLink.readEvent;
        EXPECT_EQ(readEvent, keyLink.readEvent) << "one read event for the whole run";
    }
    EXPECT_EQ(2, OpenHandles(key));
    EXPECT_EQ(0, IsKeyPresent());
}

// The key pulls itself out on the write. The server then retires every pipe
// of the key, the one whose write it is handling included; it must go on
// serving (its heap checker would end it at a use of the freed pipe).
TEST_F(HidTransportTest, KeyPulledOutWithItsReplyPendingFailsAtOnce) {
    const std::string key = IdOf(Control("add-key"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    for (int round = 0; round < 3; ++round) {
        Control("unplug-after " + key + " 1");
        EXPECT_EQ(0x0D, ReadCell(40));
        EXPECT_LT(Elapsed([] { ReadCell(41); }), 2000u);
        EXPECT_TRUE(LastExchangeFailed());
        EXPECT_EQ(0, keyLink.linkState);
        ASSERT_TRUE(vhid::ReplyOk(server::Request("list"))) << "the server is gone";
        Control("replug " + key);
    }
}

// A key that stops taking output reports: the write waits out the same
// limit as a read, is cancelled, and the link is lost; the key never sees
// the report. Run on a thread of its own, so that a write without a limit
// fails the test instead of hanging it.
TEST_F(HidTransportTest, KeyThatStopsTakingWritesCostsOneTimeout) {
    const std::string key = IdOf(Control("add-key key-password=abc"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    ASSERT_EQ('a', ReadCell(40));
    const int taken = ListedCount(key, "reports");
    Control("hang-writes " + key + " on");
    const DWORD elapsed = ReadCell41Within10s(key);
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, keyLink.linkState);
    EXPECT_GE(elapsed, 2900u);
    EXPECT_LT(elapsed, 6000u);
    EXPECT_EQ(taken, ListedCount(key, "reports"));

    Control("hang-writes " + key + " off");
    EXPECT_EQ('b', ReadCell(41)) << "found again, and it takes reports again";
    EXPECT_FALSE(LastExchangeFailed());
}

// A read that completes short of the input report is no reply, even with
// the right sequence number in it: the bytes after it are left over from
// the reply before. (HID never completes a read short; the server hands
// such a report over only when told to.)
TEST_F(HidTransportTest, ReadShortOfTheReportIsNoReply) {
    const std::string key = IdOf(Control("add-key key-password=abc"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    Control("deliver-short " + key + " on");
    ASSERT_EQ('a', ReadCell(40));
    Control("short-replies " + key + " 1 length=2");  // report ID and sequence number only
    EXPECT_LT(Elapsed([] { ReadCell(41); }), 2000u);
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, keyLink.linkState);
    EXPECT_EQ('b', ReadCell(41)) << "the next exchange finds the key again";
    EXPECT_FALSE(LastExchangeFailed());
}

TEST_F(HidTransportTest, StaleRepliesAreSkippedAndRefusedWritesShow) {
    const std::string key = IdOf(Control("add-key key-password=xyz"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    Control("stale " + key + " 3");
    EXPECT_EQ('x', ReadCell(40));
    EXPECT_FALSE(LastExchangeFailed());

    EXPECT_EQ(0x41, WriteCell(52, 0x41));
    Control("refuse-writes " + key + " on");
    EXPECT_NE(0x42, WriteCell(53, 0x42));
    EXPECT_FALSE(LastExchangeFailed()) << "the key answered; only its echo differs";
    const std::string cells = IdOf(Control("cells " + key));  // 59 cells, two hex digits each
    ASSERT_EQ(118u, cells.size()) << cells;
    EXPECT_EQ("41", cells.substr(2 * 52, 2));
    EXPECT_EQ("00", cells.substr(2 * 53, 2)) << "a refused write keeps the cell";
}

// The timed faults of the key below cost no more than one limit of the
// exchange (3 s from the start of its write). A transport that gave each
// read a limit of its own would wait far longer: about 5 minutes for foreign
// replies every 2.9 s (each read waits 2.9 s for a reply that does not
// match, up to the reads' cap), 5.5 s for a write taken after 2.5 s, and it
// would take a reply that comes after the limit. Each exchange runs on a
// thread of its own, so that a transport without one limit fails the test
// instead of hanging it (pulling the key out ends the exchange).
TEST_F(HidTransportTest, ForeignRepliesEvery2900MsToASilentKeyCostOneLimit) {
    const std::string key = IdOf(Control("add-key key-password=abc"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    ASSERT_EQ('a', ReadCell(40));
    Control("silent " + key + " on");
    Control("foreign-every " + key + " 2900");
    const DWORD elapsed = ReadCell41Within10s(key);
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, keyLink.linkState);
    EXPECT_GE(elapsed, 2900u);
    EXPECT_LT(elapsed, 4000u);
    EXPECT_GE(ListedCount(key, "foreign-replies"), 1) << "no foreign reply came";

    Control("foreign-every " + key + " 0");
    Control("silent " + key + " off");
    EXPECT_EQ('b', ReadCell(41));
    EXPECT_FALSE(LastExchangeFailed());
}

// The write is taken 2.5 s after it was made, and no reply follows: the
// read gets what is left of the limit, not a limit of its own.
TEST_F(HidTransportTest, WriteTakenLateAndNoReplyCostOneLimit) {
    const std::string key = IdOf(Control("add-key key-password=abc"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    ASSERT_EQ('a', ReadCell(40));
    const int taken = ListedCount(key, "reports");
    Control("late-write-after " + key + " 0 2500");
    Control("silent-after " + key + " 0");
    const DWORD elapsed = ReadCell41Within10s(key);
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_GE(elapsed, 2900u);
    EXPECT_LT(elapsed, 4000u);
    EXPECT_EQ(taken + 1, ListedCount(key, "reports")) << "the write was taken, late";

    Control("silent " + key + " off");
    EXPECT_EQ('b', ReadCell(41));
    EXPECT_FALSE(LastExchangeFailed());
}

// The reply comes late, after 30 foreign ones: within the limit it is the
// exchange's answer; after the limit it is never taken.
TEST_F(HidTransportTest, LateReplyAfterForeignOnesCountsOnlyWithinTheLimit) {
    const struct {
        DWORD lateMs;
        bool answered;
    } cases[] = {{2900, true}, {5000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "reply " << c.lateMs << " ms late");
        Control("clear");
        const std::string key = IdOf(Control("add-key key-password=abc"));
        ASSERT_EQ(0x81E1, OpenKey(8));
        ASSERT_EQ('a', ReadCell(40));
        Control("late-reply-after " + key + " 0 " + std::to_string(c.lateMs) + " foreign=30");
        std::uint8_t answer = 0;
        const DWORD elapsed = Elapsed([&answer] { answer = ReadCell(41); });
        EXPECT_EQ(!c.answered, LastExchangeFailed());
        if (c.answered) {
            EXPECT_EQ('b', answer);
            EXPECT_GE(elapsed, c.lateMs - 100);
            EXPECT_EQ(30, ListedCount(key, "foreign-replies")) << "all came before the reply";
        } else {
            EXPECT_GE(elapsed, 2900u);
            EXPECT_GE(ListedCount(key, "foreign-replies"), 1);
        }
        EXPECT_LT(elapsed, 4000u);
    }
}
