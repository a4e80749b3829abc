// The virtual key's memory file as the server keeps it: a change that cannot
// be saved is not made (the key refuses the write, the cell keeps its value,
// the server's output says why), and two servers never write one file.
#include "key_file.h"
#include "key_file_folder.h"
#include "server_fixture.h"

namespace {

// A server of another instance, beside the test process's own.
class OtherServer {
public:
    explicit OtherServer(std::string instance) : instance_(std::move(instance)) {}
    ~OtherServer() {
        if (!process_.hProcess) return;
        std::string reply;
        if (!vhid::ControlRequest(instance_, "quit", reply) ||
            WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    bool Start() {
        std::string command = "virtualhid-server.exe " + instance_;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process_))
            return false;
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(25))
            if (vhid::ReplyOk(Request("list"))) return true;
        return false;
    }
    std::string Request(const std::string& request) const {
        std::string reply;
        return vhid::ControlRequest(instance_, request, reply) ? reply : "";
    }

private:
    std::string instance_;
    PROCESS_INFORMATION process_{};
};

// The key's file in a folder of the test's own.
class KeyFileServerTest : public ServerTest {
protected:
    void TearDown() override { Control("clear"); }  // lets go of the file's lock

    // The cells the file holds.
    std::array<std::uint8_t, vkey::kCellCount> FileCells() const {
        vkey::KeyContents contents;
        std::string error;
        EXPECT_TRUE(vkey::LoadKeyFile(path, contents, error)) << error;
        return contents.cells;
    }

    KeyFileFolder keyFolder{"keyfile"};
    const std::string& path = keyFolder.path;
};

}  // namespace

// The folder of the key's file is gone (moved away): the change cannot be
// saved, so the key refuses it before it answers. The program sees an echo
// that differs, the cell keeps its value in the key and in the file, and the
// server's output says why. Once the folder is back, the change is made.
TEST_F(KeyFileServerTest, AChangeThatCannotBeSavedIsRefusedAndTheCellKept) {
    const std::string key = IdOf(Control("add-key key-password=abc file=" + path + " new"));
    ASSERT_EQ(0x81E1, OpenKey(8));
    ASSERT_EQ('a', ReadCell(40));
    ASSERT_TRUE(keyFolder.MoveAway()) << GetLastError();

    EXPECT_NE('x', WriteCell(52, 'x'));
    EXPECT_FALSE(LastExchangeFailed()) << "the key answered; only its echo differs";
    EXPECT_EQ("00", IdOf(Control("cells " + key)).substr(2 * 52, 2)) << "the key kept the cell";
    const std::string log = server::Log();
    EXPECT_NE(std::string::npos, log.find("cannot write the virtual key file " + path)) << log;
    EXPECT_NE(std::string::npos, log.find("cannot create " + path + ".new")) << log;
    EXPECT_NE(std::string::npos, log.find("refuses the write")) << log;

    ASSERT_TRUE(keyFolder.MoveBack()) << GetLastError();
    EXPECT_EQ(0, FileCells()[52]) << "the file still holds the old memory";
    EXPECT_EQ('x', WriteCell(52, 'x'));
    EXPECT_FALSE(LastExchangeFailed());
    EXPECT_EQ('x', FileCells()[52]);
}

// A key file in use, by this server or another, is refused by name; once
// its key is gone, another may take it.
TEST_F(KeyFileServerTest, TwoServersOnOneFileNeverBothWriteIt) {
    const std::string key = IdOf(Control("add-key key-password=abc file=" + path + " new"));
    OtherServer second(server::Instance() + "-second");
    ASSERT_TRUE(second.Start()) << "no second server";
    const std::string inUse = "error the virtual key file " + path +
                              " is in use: another virtual-key server holds its "
                              "lock " +
                              path + ".lock";
    EXPECT_EQ(inUse, second.Request("add-key file=" + path));
    EXPECT_EQ(inUse, second.Request("add-key key-password=new file=" + path + " new"));
    EXPECT_EQ(inUse, server::Request("add-key file=" + path)) << "nor twice by one server";
    EXPECT_EQ('a', FileCells()[40]) << "the file is as the first key left it";

    Control("remove " + key);
    const std::string taken = second.Request("add-key file=" + path);
    EXPECT_TRUE(vhid::ReplyOk(taken)) << taken;
    EXPECT_EQ(inUse, server::Request("add-key file=" + path));
}
