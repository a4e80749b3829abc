// keyadmin-cli.exe, the unmodified program, under Wine against the
// virtual-key server: the main commands and their exit codes, Korean output
// (the tests' locale is Korean), the JSON document through a JSON parser, a
// key pulled out during a key-password change and put right when it is
// plugged in again, and Korean readable on a console of its own.
#include <nlohmann/json.hpp>

#include "cli_process.h"
#include "padded_field.h"
#include "server_fixture.h"

namespace {

using clirun::Ran;
using clirun::RunCli;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The twelve cells of a field from the server's hex of the 59 cells.
std::string Field(const std::string& id, int base) {
    const std::string hex = server::IdOf(Control("cells " + id));
    std::string field;
    for (int i = 0; i < 12; ++i)
        field.push_back(static_cast<char>(std::stoi(hex.substr((base + i) * 2, 2), nullptr, 16)));
    return field;
}

class CliProgramTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        Control("add-device vendor=10f7 product=1234");
        inUse =
            IdOf(Control("add-key serial=4b41d001 key-password=1234 login-id=demo-user "
                         "login-password=demo-pass1"));
        fresh = IdOf(Control("add-key serial=4b41d002"));
    }
    std::string inUse, fresh;
};

TEST_F(CliProgramTest, ListsBothKeysInKorean) {
    const Ran ran = RunCli("list");
    EXPECT_EQ(0, ran.exitCode) << ran.out << ran.err;
    EXPECT_TRUE(Has(ran.out, "4b41d001  연결됨  로그인 ID: demo-user  장치: ")) << ran.out;
    EXPECT_TRUE(Has(ran.out, "4b41d002  초기화 상태  장치: ")) << ran.out;
    EXPECT_EQ(2, std::count(ran.out.begin(), ran.out.end(), '\n')) << "the foreign device too";
}

TEST_F(CliProgramTest, SeveralKeysAndNoSerial) {
    const Ran ran = RunCli("status");
    EXPECT_EQ(4, ran.exitCode);
    EXPECT_TRUE(Has(ran.err, "인증키 2개가 연결되어 있습니다. --serial로 하나를 고르십시오."))
        << ran.err;
}

TEST_F(CliProgramTest, StatusAsJson) {
    const Ran ran = RunCli("status --serial 4b41d001 --json");
    EXPECT_EQ(0, ran.exitCode) << ran.err;
    const nlohmann::json document = nlohmann::json::parse(ran.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << ran.out;
    EXPECT_EQ("success", document["outcome"]);
    EXPECT_EQ("4b41d001", document["key"]["serial"]);
    EXPECT_EQ("attached", document["key"]["state"]);
    EXPECT_EQ("64656d6f2d75736572", document["key"]["loginIdHex"]);
}

TEST_F(CliProgramTest, ShowLoginPassword) {
    const Ran ran = RunCli("show-login-password --serial 4b41d001", "1234\r\n");
    EXPECT_EQ(0, ran.exitCode) << ran.err;
    EXPECT_EQ("로그인 암호: demo-pass1\n", ran.out);
}

TEST_F(CliProgramTest, WrongKeyPassword) {
    const Ran ran = RunCli("show-login-password --serial 4b41d001", "4321\r\n");
    EXPECT_EQ(5, ran.exitCode);
    EXPECT_EQ("인증키 암호가 틀렸습니다.\n", ran.err);
}

TEST_F(CliProgramTest, KeyPasswordInHangul) {
    const Ran ran = RunCli("set-key-password --serial 4b41d001", "1234\r\n한글\r\n한글\r\n");
    EXPECT_EQ(0, ran.exitCode) << ran.err;
    EXPECT_EQ(Padded("\xC7\xD1\xB1\xDB"), Field(inUse, 40));
}

TEST_F(CliProgramTest, FirstKeyPasswordOnlyOnAFactoryInitialKey) {
    Ran ran = RunCli("init --serial 4b41d001", "first\r\nfirst\r\n");
    EXPECT_EQ(7, ran.exitCode);
    EXPECT_EQ(Padded("1234"), Field(inUse, 40));
    ran = RunCli("init --serial 4b41d002", "first\r\nfirst\r\n");
    EXPECT_EQ(0, ran.exitCode) << ran.err;
    EXPECT_EQ(Padded("first"), Field(fresh, 40));
}

TEST_F(CliProgramTest, ConfirmationMismatch) {
    const Ran ran = RunCli("set-key-password --serial 4b41d001", "1234\r\nabcd\r\nabce\r\n");
    EXPECT_EQ(6, ran.exitCode);
    EXPECT_EQ(Padded("1234"), Field(inUse, 40));
}

TEST_F(CliProgramTest, NoKey) {
    Control("clear");
    const Ran ran = RunCli("status");
    EXPECT_EQ(3, ran.exitCode);
    EXPECT_EQ("USB 인증키를 찾지 못했습니다.\n", ran.err);
}

TEST_F(CliProgramTest, UsageError) {
    const Ran ran = RunCli("status --serial 4b41");
    EXPECT_EQ(2, ran.exitCode);
    EXPECT_TRUE(Has(ran.err, "사용법 오류")) << ran.err;
}

// The key pulled out at its write to cell 45 (4 reports for the choice, 1
// for its state, 13 for the change's presence and key-password read, 5
// writes), and plugged in again while the command waits: the old key
// password is back.
TEST_F(CliProgramTest, AKeyPulledDuringAChangeIsPutRightWhenItComesBack) {
    Control("unplug-after " + inUse + " 23");
    const Ran ran = RunCli("set-key-password --serial 4b41d001", "1234\r\nabcdefgh\r\nabcdefgh\r\n",
                           {"Ctrl-C", [&] { Control("replug " + inUse); }});
    EXPECT_EQ(8, ran.exitCode) << ran.err;
    EXPECT_TRUE(Has(ran.err, "인증키 4b41d001을(를) 최대 10분 기다립니다.")) << ran.err;
    EXPECT_TRUE(Has(ran.err, "인증키 4b41d001: 이전 인증키 암호를 되돌려 놓았습니다.")) << ran.err;
    EXPECT_EQ(Padded("1234"), Field(inUse, 40));
}

}  // namespace
