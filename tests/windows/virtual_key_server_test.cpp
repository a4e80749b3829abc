// The virtual-key server behaves as the HID drivers do where the program can
// see it, refuses devices its key cannot serve, and is never left running by
// the tests.
#include "server_fixture.h"

namespace {

using VirtualKeyServerTest = ServerTest;

}  // namespace

// An input report shorter than a reply, or no output report at all, is a
// configuration the virtual key cannot serve: refused, and nothing is added.
TEST_F(VirtualKeyServerTest, ConfigurationsTheKeyCannotServeAreRefused) {
    for (const char* request : {"add-key input=3 output=65", "add-key input=0", "add-key output=0",
                                "add-device input=2", "add-key input=70000"}) {
        SCOPED_TRACE(request);
        const std::string reply = server::Request(request);
        EXPECT_EQ("error", reply.substr(0, 5)) << reply;
    }
    EXPECT_EQ("ok", Control("list"));
    EXPECT_EQ("ok 1", Control("add-key input=4 output=9"));
}

// As HID: a write of another length than the output report fails the
// WriteFile call, and the key never sees it. The server fails the write by
// dropping the handle it came on.
TEST_F(VirtualKeyServerTest, WritesOfAnotherLengthThanTheReportFail) {
    const std::string key = IdOf(Control("add-key key-password=len"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    ASSERT_EQ('l', ReadCell(40));
    const int taken = ListedCount(key, "reports");

    int refused = 0;
    for (const DWORD length :
         {keyLink.outputReportLength - 1u, 1u, keyLink.outputReportLength + 8u}) {
        SCOPED_TRACE(length);
        std::string report(length, '\0');
        DWORD written = 0;
        EXPECT_FALSE(WriteFile(keyLink.writeHandle, report.data(), length, &written, nullptr));
        EXPECT_EQ(++refused, ListedCount(key, "refused"));
        EXPECT_EQ(taken, ListedCount(key, "reports"));
        ASSERT_EQ(0x81E1, OpenKey(8));
    }
    EXPECT_EQ('e', ReadCell(41));
    EXPECT_FALSE(LastExchangeFailed());
}

// As HID: an input report shorter than the input report length is never
// delivered; the read waits out its limit.
TEST_F(VirtualKeyServerTest, ShortInputReportsAreDropped) {
    const std::string key = IdOf(Control("add-key key-password=abc"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    Control("short-replies " + key + " 1");
    const DWORD elapsed = Elapsed([] { ReadCell(40); });
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_GE(elapsed, 2900u);
    EXPECT_EQ(1, ListedCount(key, "dropped"));
    EXPECT_EQ('a', ReadCell(40));
    EXPECT_FALSE(LastExchangeFailed());
}

// A pulled key's handles fail reads and writes with 1167 as on Windows, or
// with another error (the pipe's own; Wine's HID gives yet another). Either
// way the program takes the key for removed at once, and finds it again
// when it is plugged back in.
TEST_F(VirtualKeyServerTest, PulledKeyFailsWithEitherRemovalError) {
    for (const bool windows : {false, true}) {
        SCOPED_TRACE(windows ? "1167" : "the pipe's error");
        Control("clear");
        Control(std::string("removal-error ") + (windows ? "1167" : "pipe"));
        const std::string key = IdOf(Control("add-key key-password=abc"));
        ASSERT_EQ(0x81E1, OpenKey(8));

        // A read pending when the key is pulled, and a write after.
        OVERLAPPED read{};
        read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::string buffer(keyLink.inputReportLength, '\0');
        DWORD transferred = 0;
        EXPECT_FALSE(
            ReadFile(keyLink.readHandle, buffer.data(), keyLink.inputReportLength, nullptr, &read));
        Control("unplug " + key);
        EXPECT_FALSE(GetOverlappedResult(keyLink.readHandle, &read, &transferred, TRUE));
        const DWORD readError = GetLastError();
        CloseHandle(read.hEvent);
        EXPECT_FALSE(WriteFile(keyLink.writeHandle, buffer.data(), keyLink.outputReportLength,
                               &transferred, nullptr));
        const DWORD writeError = GetLastError();
        if (windows) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED), readError);
            EXPECT_EQ(static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED), writeError);
        } else {
            EXPECT_NE(static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED), readError);
            EXPECT_NE(static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED), writeError);
        }

        EXPECT_LT(Elapsed([] { ReadCell(40); }), 2000u);
        EXPECT_TRUE(LastExchangeFailed());
        EXPECT_EQ(0, keyLink.linkState);
        EXPECT_NE(0, IsKeyPresent());
        Control("replug " + key);
        EXPECT_EQ('b', ReadCell(41));
        EXPECT_FALSE(LastExchangeFailed());
    }
    Control("removal-error pipe");
}

// A server that hangs does not outlive the tests: stopping it ends it by its
// process handle.
TEST_F(VirtualKeyServerTest, StopEndsAServerThatHangs) {
    Control("stall");
    HANDLE watch = OpenProcess(SYNCHRONIZE, FALSE, GetProcessId(server::Process().hProcess));
    ASSERT_NE(nullptr, watch);
    bool ended = false;
    EXPECT_LT(Elapsed([&ended] { ended = server::Stop(); }), 10000u);
    EXPECT_TRUE(ended);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(watch, 0)) << "still running";
    CloseHandle(watch);
    ASSERT_TRUE(server::Start()) << "a server again for the tests after";
}
