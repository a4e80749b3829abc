// virtual-hidraw as the command line's tests use it: the devices its words
// describe, seen by another program through the Linux transport
// (hidraw_probe); the exit codes; the cells, key files and event log it
// leaves; the words it refuses.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "key_file.h"
#include "reachable_copy.h"

namespace {

struct Outcome {
    int status;
    std::string output;  // standard output and standard error
};

Outcome RunVirtualHidraw(const std::string& arguments) {
    const std::string command = std::string(VIRTUAL_HIDRAW) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    Outcome outcome{-1, {}};
    if (!pipe) return outcome;
    char buffer[512];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        outcome.output.append(buffer, got);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

const ReachableCopy probeCopy(HIDRAW_PROBE, "hidraw-probe");
const std::string& kProbe = probeCopy.path();

std::string Slurp(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class VirtualHidrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() /
                    ("virtual-hidraw-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }
    std::string File(const char* name) const { return (directory / name).string(); }

    std::filesystem::path directory;
};

struct Scenario {
    const char* name;
    std::string arguments;
    int status;
    std::string output;
};

void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.arguments;
}

class ScenarioTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(ScenarioTest, Runs) {
    const Outcome outcome = RunVirtualHidraw(GetParam().arguments);
    EXPECT_EQ(GetParam().status, outcome.status) << outcome.output;
    EXPECT_EQ(GetParam().output, outcome.output);
}

const std::string kAsAnotherUser =
    geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";

const Scenario kScenarios[] = {
    {"DevicesInTheirOrder",
     "--foreign vendor=10f7 product=1234 --key --foreign --key -- " + kProbe + " list", 0,
     "/dev/hidraw1\n/dev/hidraw3\n"},
    {"ProvisionedKey", "--key login-id=abc -- " + kProbe + " read-cell 16", 0, "61\n"},
    {"SerialNumber", "--key serial=0a0b0c0d -- " + kProbe + " serial", 0, "0a0b0c0d\n"},
    {"PlugsInLater",
     "--key plug-after-ms=400 -- sh -c '" + kProbe + " discover; sleep 0.8; " + kProbe +
         " discover'",
     0, "failed NoKey \nfound\n"},
    {"PulledOnItsFirstReport",
     "--key unplug-after=0 -- sh -c '" + kProbe + " read-cell 16; " + kProbe + " list'", 0,
     "no reply\n"},
    {"ANodeAPulledKeyLeft",
     "--key serial=0a0b0c0d unplug-after=0 --key node=0 plug-after-ms=400 serial=01010101 -- sh "
     "-c '" +
         kProbe + " connections; " + kProbe + " serial; sleep 0.8; " + kProbe + " connections; " +
         kProbe + " serial'",
     0, "/dev/hidraw0 0003:10F7:81E1.0001\nno reply\n/dev/hidraw0 0003:10F7:81E1.0002\n01010101\n"},
    {"ForeignDeviceWhoseSysfsShowsAKey",
     "--foreign sysfs=key -- sh -c '" + kProbe + " list; " + kProbe + " discover'", 1,
     "/dev/hidraw0\nfailed NoKey \n"},
    {"HeldByAnotherProcess", "--key held -- " + kProbe + " discover", 1,
     "failed InUse /dev/hidraw0\n"},
    {"NotThisUsersNode", "--key mode=000 -- " + kAsAnotherUser + kProbe + " discover", 1,
     "failed PermissionDenied /dev/hidraw0\n"},
    {"UnparsableDescriptor", "--key descriptor=unparsable -- " + kProbe + " discover", 1,
     "failed Unusable /dev/hidraw0\n"},
    {"CommandsExitCode", "--key -- sh -c 'exit 7'", 7, ""},
    {"CommandKilledBySignal", "-- sh -c 'kill -TERM $$'", 128 + 15, ""},
    {"CommandNotFound", "-- /nonexistent/command", 127,
     "virtual-hidraw: /nonexistent/command: No such file or directory\n"},
};

INSTANTIATE_TEST_SUITE_P(VirtualHidraw, ScenarioTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

// Words it does not take: its own exit code, and the word named.
struct Refused {
    const char* name;
    std::string arguments;
    std::string word;
};

void PrintTo(const Refused& refused, std::ostream* out) {
    *out << refused.arguments;
}

class RefusedTest : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedTest, ExitsWithItsOwnCode) {
    const Outcome outcome = RunVirtualHidraw(GetParam().arguments + " -- true");
    EXPECT_EQ(125, outcome.status);
    EXPECT_NE(std::string::npos, outcome.output.find(GetParam().word)) << outcome.output;
}

const Refused kRefused[] = {
    {"ShortSerial", "--key serial=0a0b0c", "serial=0a0b0c"},
    {"OneByteReport", "--key input=1", "input=1"},
    {"ReportTooLong", "--key output=16385", "output=16385"},
    {"ModeNotOctal", "--key mode=0999", "mode=0999"},
    {"TextLongerThanAField", "--key login-id=thirteen-byte", "login-id=thirteen-byte"},
    {"NegativeCount", "--key silent-after=-1", "silent-after=-1"},
    {"UnknownWord", "--key fast", "fast"},
    {"KeyWordOnAForeignDevice", "--foreign serial=01020304", "serial=01020304"},
    {"NewWithoutFile", "--key new", "new needs file=PATH"},
    {"UnknownOption", "--mouse", "--mouse"},
    {"MissingKeyFile", "--key file=/nonexistent/key", "/nonexistent/key"},
    {"NodeInUse", "--key --foreign node=0", "hidraw0 is in use"},
    {"SysfsOfAnotherKind", "--foreign sysfs=mouse", "sysfs=mouse"},
    {"SysfsOfAKeyOnAKey", "--key sysfs=key", "sysfs=key"},
};

INSTANTIATE_TEST_SUITE_P(VirtualHidraw, RefusedTest, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualHidrawCommand, NeedsACommand) {
    EXPECT_EQ(125, RunVirtualHidraw("--key").status);
    EXPECT_EQ(125, RunVirtualHidraw("--key --").status);
}

TEST_F(VirtualHidrawTest, CellsAndLogAtTheEnd) {
    const Outcome outcome =
        RunVirtualHidraw("--foreign --key --key login-id=abc --cells " + File("cells") + " --log " +
                         File("log") + " -- " + kProbe + " write-cell 17 0x5A");
    ASSERT_EQ(0, outcome.status) << outcome.output;
    EXPECT_EQ("5a\n", outcome.output);
    // The first key found took the write; the second keeps its login ID.
    std::string changed(118, '0');
    changed.replace(2 * 17, 2, "5a");
    changed.replace(2 * 40, 2, "0d");  // factory-initial
    std::string provisioned(118, '0');
    provisioned.replace(2 * 16, 6, "616263");
    EXPECT_EQ("hidraw1 " + changed + "\nhidraw2 " + provisioned + "\n", Slurp(File("cells")));
    EXPECT_EQ("hidraw1 open\nhidraw1 write 65\nhidraw1 read 64\n", Slurp(File("log")));
}

TEST_F(VirtualHidrawTest, AKeyFileKeepsTheMemoryBetweenRuns) {
    const std::string file = File("key");
    ASSERT_EQ(0, RunVirtualHidraw("--key serial=0a0b0c0d file=" + file + " new -- " + kProbe +
                                  " write-cell 16 0x41")
                     .status);
    vkey::KeyContents contents;
    std::string error;
    ASSERT_TRUE(vkey::LoadKeyFile(file, contents, error)) << error;
    EXPECT_EQ(0x41, contents.cells[16]);
    EXPECT_EQ((std::array<std::uint8_t, 4>{0x0A, 0x0B, 0x0C, 0x0D}), contents.serial);
    const Outcome again =
        RunVirtualHidraw("--key file=" + file + " -- " + kProbe + " read-cell 16");
    EXPECT_EQ("41\n", again.output);

    std::ofstream(file, std::ios::trunc) << "not a key\n";
    const Outcome refused = RunVirtualHidraw("--key file=" + file + " -- true");
    EXPECT_EQ(125, refused.status);
    EXPECT_NE(std::string::npos, refused.output.find(file)) << refused.output;
    EXPECT_EQ("not a key\n", Slurp(file)) << "a refused file is left as it is";
}

// The key file has one writer: while one virtual-hidraw (or a virtual-key
// server under Wine) serves it, another is refused by name.
TEST_F(VirtualHidrawTest, AKeyFileServedElsewhereIsRefusedByName) {
    const std::string file = File("key");
    const Outcome outcome = RunVirtualHidraw("--key file=" + file + " new -- " + VIRTUAL_HIDRAW +
                                             " --key file=" + file + " -- true");
    EXPECT_EQ(125, outcome.status);
    EXPECT_NE(std::string::npos, outcome.output.find("the virtual key file " + file + " is in use"))
        << outcome.output;
}

// A change the key file cannot keep (its folder gone) is not made: the key
// refuses the write, its echo differs, and virtual-hidraw says why.
TEST_F(VirtualHidrawTest, AChangeTheFileCannotKeepIsRefused) {
    const std::string folder = File("folder");
    std::filesystem::create_directories(folder);
    const std::string file = folder + "/key";
    const Outcome outcome =
        RunVirtualHidraw("--key file=" + file + " new --cells " + File("cells") +
                         " -- sh -c 'rm -r " + folder + " && " + kProbe + " write-cell 16 0x41'");
    EXPECT_NE("41\n", outcome.output.substr(0, 3)) << outcome.output;
    EXPECT_NE(std::string::npos, outcome.output.find("the key refuses the write"))
        << outcome.output;
    const std::string cells = Slurp(File("cells"));
    ASSERT_GE(cells.size(), 8u + 2 * 17) << cells;
    EXPECT_EQ("00", cells.substr(8 + 2 * 16, 2)) << "cell 16 keeps its value: " << cells;
}

}  // namespace
