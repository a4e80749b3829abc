// The real Windows HID transport against the virtual-key server: the
// program's own CreateFileA, WriteFile, overlapped ReadFile, waits and
// cancels run on Wine's kernel32; only hid.dll and setupapi.dll are the
// stand-ins next to this executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "key_link.h"
#include "virtual_key_server.h"

namespace {

std::string Control(const std::string& request) {
    const std::string reply = server::Request(request);
    EXPECT_TRUE(vhid::ReplyOk(reply)) << request << " -> " << reply;
    return reply;
}

using server::IdOf;

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

// A name=value count from the device's line of the server's "list" reply.
int ListedCount(const std::string& id, const std::string& name) {
    std::istringstream lines(Control("list"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, id.size() + 1, id + " ") != 0) continue;
        const auto at = line.find(" " + name + "=");
        if (at != std::string::npos) return std::stoi(line.substr(at + name.size() + 2));
    }
    return -1;
}

int OpenHandles(const std::string& id) {
    return Handles(id).open;
}
int Opens(const std::string& id) {
    return Handles(id).opens;
}

class HidTransportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(server::Start()) << "no virtual-key server"; }
    static void TearDownTestSuite() { server::Stop(); }
    void SetUp() override {
        Control("clear");
        OpenKey(8);  // with no device: closes what an earlier test left open
        ASSERT_EQ(0, keyLink.linkState);
    }
};

}  // namespace

TEST_F(HidTransportTest, NoDeviceIsNotFound) {
    EXPECT_EQ(0, OpenKey(8));
    EXPECT_EQ(0, keyLink.openedFlag);
    EXPECT_NE(0, IsKeyPresent());
}

TEST_F(HidTransportTest, ForeignDevicesAreExaminedClosedAndSkipped) {
    const std::string other = IdOf(Control("add-device vendor=046d product=c077"));
    const std::string sameVendor = IdOf(Control("add-device vendor=10f7 product=1234"));
    const std::string key = IdOf(Control("add-key serial=0a0b0c0d"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(0, IsKeyPresent());
    EXPECT_EQ(0x0B, ReadSerialByte(2));
    EXPECT_FALSE(LastExchangeFailed());
    for (const std::string& id : {other, sameVendor}) {
        EXPECT_EQ(1, Opens(id)) << "device " << id;
        EXPECT_EQ(0, OpenHandles(id)) << "device " << id;
    }
    EXPECT_EQ(2, OpenHandles(key));
}

TEST_F(HidTransportTest, FirstOfTwoKeysIsUsed) {
    Control("add-key serial=01010101");
    Control("add-key serial=02020202");
    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(0x01, ReadSerialByte(1));
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

    Control("clear");
    Control("add-key input=3 output=65");
    EXPECT_EQ(0, OpenKey(8)) << "an input report too short for a reply";
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

TEST_F(HidTransportTest, KeyPulledOutWithItsReplyPendingFailsAtOnce) {
    const std::string key = IdOf(Control("add-key"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    Control("unplug-after " + key + " 0");
    const DWORD start = GetTickCount();
    ReadCell(40);
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, keyLink.linkState);
    EXPECT_LT(GetTickCount() - start, 2000u);
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

TEST_F(HidTransportTest, ReportsOfTheWrongLengthAreRefused) {
    const std::string key = IdOf(Control("add-key key-password=len"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    ASSERT_EQ('l', ReadCell(40));
    const int answered = ListedCount(key, "reports");

    // The last frame sent, one byte short of the report: the key never sees it.
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(keyLink.writeHandle, keyLink.outputReport.data(),
                          keyLink.outputReportLength - 1u, &written, nullptr));
    EXPECT_EQ(1, ListedCount(key, "refused"));
    EXPECT_EQ(answered, ListedCount(key, "reports"));
    EXPECT_EQ('e', ReadCell(41));
    EXPECT_FALSE(LastExchangeFailed());

    // Longer than the report: the write fails, and the link with it.
    std::string tooLong(keyLink.outputReportLength + 8u, '\0');
    EXPECT_FALSE(WriteFile(keyLink.writeHandle, tooLong.data(), static_cast<DWORD>(tooLong.size()),
                           &written, nullptr));
    EXPECT_EQ(2, ListedCount(key, "refused"));
    ReadCell(42);
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, keyLink.linkState);
    EXPECT_EQ('n', ReadCell(42)) << "the next exchange finds the key again";
    EXPECT_FALSE(LastExchangeFailed());
}
