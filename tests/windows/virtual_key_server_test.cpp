// The virtual key (the server, and the stand-in hid.dll on the program's
// handles) behaves as the HID drivers do where the program can see it,
// refuses devices its key cannot serve, and is never left running by the
// tests.
#include "server_fixture.h"

#include <cstdint>
#include <vector>

namespace {

using VirtualKeyServerTest = ServerTest;

// kernel32's own WriteFile, as a program calls it without the stand-in
// hid.dll (which points this executable's import at its wrapper).
BOOL UnwrappedWriteFile(HANDLE handle, const void* buffer, DWORD length, DWORD* written) {
    static const auto write = reinterpret_cast<decltype(&WriteFile)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "WriteFile")));
    return write(handle, buffer, length, written, nullptr);
}

// Starts an overlapped read or write on the handle; the error it fails with
// at once (ERROR_SUCCESS if it succeeds at once). One that is left pending
// is waited for a moment, then cancelled, so that it takes no report from
// the exchanges after it; it gives ERROR_IO_PENDING.
DWORD StartTransfer(HANDLE handle, bool write, BYTE* buffer, DWORD length) {
    OVERLAPPED io{};
    io.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const BOOL done = write ? WriteFile(handle, buffer, length, nullptr, &io)
                            : ReadFile(handle, buffer, length, nullptr, &io);
    const DWORD error = done ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_IO_PENDING) {
        if (WaitForSingleObject(io.hEvent, 500) != WAIT_OBJECT_0) CancelIo(handle);
        DWORD transferred = 0;
        GetOverlappedResult(handle, &io, &transferred, TRUE);
    }
    CloseHandle(io.hEvent);
    return error;
}

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

// As Wine's HID: a write shorter than the output report or whose first byte
// is not the report ID 0, and a read into a buffer shorter than the input
// report, fail at once with ERROR_INVALID_PARAMETER (the stand-in hid.dll
// refuses them on the handle). The key never sees such a write, and the same
// handle then carries the next exchange: the key is not looked for again.
TEST_F(VirtualKeyServerTest, ReportsThatDoNotFitFailAtOnceAndLeaveTheHandleUsable) {
    // One exchange after each misfit reads the next letter of the password.
    constexpr char kPassword[] = "misfits";
    const std::string key = IdOf(Control(std::string("add-key key-password=") + kPassword));
    ASSERT_EQ(0x81E1, OpenKey(8));
    ASSERT_EQ('m', ReadCell(40));
    const DWORD input = keyLink.inputReportLength, output = keyLink.outputReportLength;
    const struct {
        const char* what;
        bool write;
        DWORD length;
        BYTE firstByte;
    } misfits[] = {
        {"write one byte short of the report", true, output - 1, 0},
        {"write of the report ID alone", true, 1, 0},
        {"write of the whole report with report ID 1", true, output, 1},
        {"longer write with report ID 0xff", true, output + 8, 0xFF},
        {"read one byte short of the report", false, input - 1, 0},
        {"read of one byte", false, 1, 0},
    };
    void* const handle = keyLink.reportHandle;
    const int opens = ListedCount(key, "opens");
    std::uint8_t letter = 0;
    for (const auto& misfit : misfits) {
        SCOPED_TRACE(misfit.what);
        const int taken = ListedCount(key, "reports");
        std::vector<BYTE> buffer(misfit.length, 0);
        buffer[0] = misfit.firstByte;
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER),
                  StartTransfer(handle, misfit.write, buffer.data(), misfit.length));
        EXPECT_EQ(taken, ListedCount(key, "reports"));
        EXPECT_EQ(0, ListedCount(key, "refused"));
        EXPECT_EQ(2, ListedCount(key, "handles"));

        ++letter;
        EXPECT_EQ(kPassword[letter], ReadCell(40 + letter));
        EXPECT_FALSE(LastExchangeFailed());
        EXPECT_EQ(handle, keyLink.reportHandle);
        EXPECT_EQ(opens, ListedCount(key, "opens"));
    }
}

// The server holds writes to the output report length too, for a program
// without the stand-in hid.dll, and for a longer write, which the stand-in
// passes on: it fails the WriteFile call by dropping the handle the write
// came on, and the key never sees the report.
TEST_F(VirtualKeyServerTest, ServerRefusesWritesOfAnotherLengthThanTheReport) {
    const std::string key = IdOf(Control("add-key key-password=len"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    ASSERT_EQ('l', ReadCell(40));
    const int taken = ListedCount(key, "reports");

    const DWORD output = keyLink.outputReportLength;
    const struct {
        DWORD length;
        bool throughStandin;
    } writes[] = {{output - 1, false}, {1, false}, {output + 8, false}, {output + 8, true}};
    int refused = 0;
    for (const auto& write : writes) {
        SCOPED_TRACE(testing::Message()
                     << write.length << (write.throughStandin ? " wrapped" : ""));
        std::string report(write.length, '\0');
        DWORD written = 0;
        const BOOL done =
            write.throughStandin
                ? WriteFile(keyLink.queryHandle, report.data(), write.length, &written, nullptr)
                : UnwrappedWriteFile(keyLink.queryHandle, report.data(), write.length, &written);
        const DWORD error = GetLastError();
        EXPECT_FALSE(done);
        EXPECT_NE(static_cast<DWORD>(ERROR_INVALID_PARAMETER), error) << "failed by the server";
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
        EXPECT_FALSE(ReadFile(keyLink.reportHandle, buffer.data(), keyLink.inputReportLength,
                              nullptr, &read));
        Control("unplug " + key);
        EXPECT_FALSE(GetOverlappedResult(keyLink.reportHandle, &read, &transferred, TRUE));
        const DWORD readError = GetLastError();
        CloseHandle(read.hEvent);
        EXPECT_FALSE(WriteFile(keyLink.queryHandle, buffer.data(), keyLink.outputReportLength,
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
