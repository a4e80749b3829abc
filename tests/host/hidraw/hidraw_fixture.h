// Common ground of the Linux transport's tests: a fresh testbed of virtual
// hidraw devices (virtualhidraw/testbed.h) and a fresh key link for each
// test, and other processes on the same devices (hidraw_probe).
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "key_link.h"
#include "key_transport.h"
#include "monotonic_clock.h"
#include "reachable_copy.h"
#include "testbed.h"

extern char** environ;

class HidrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        ASSERT_TRUE(preload && std::strstr(preload, "libumockdev-preload"))
            << "run under umockdev's preload library (umockdev-wrapper, or ctest)";
        std::string error;
        ASSERT_TRUE(vhidraw::StartTestbed(error)) << error;
        ResetKeyLinkState();
    }

    void TearDown() override {
        CloseKey();
        vhidraw::StopTestbed();
    }

    // A fresh testbed and key link within a test, for each case of a loop.
    static void Restart() {
        CloseKey();
        vhidraw::StopTestbed();
        std::string error;
        ASSERT_TRUE(vhidraw::StartTestbed(error)) << error;
        ResetKeyLinkState();
    }

    static vhidraw::DeviceOptions Key(std::array<std::uint8_t, 4> serial = {1, 2, 3, 4}) {
        vhidraw::DeviceOptions options;
        options.contents = vkey::ProvisionedContents(serial, "1234", "login-id", "login-pw");
        return options;
    }

    static vhidraw::DeviceOptions Foreign(std::uint16_t vendor, std::uint16_t product) {
        vhidraw::DeviceOptions options;
        options.kind = vhidraw::DeviceKind::Foreign;
        options.vendor = vendor;
        options.product = product;
        return options;
    }

    static int Add(const vhidraw::DeviceOptions& options) {
        std::string error;
        const int device = vhidraw::AddDevice(options, error);
        EXPECT_GE(device, 0) << error;
        return device;
    }

    static int Count(int device, vhidraw::EventKind kind) {
        int count = 0;
        for (const vhidraw::Event& event : vhidraw::Events())
            count += event.device == device && event.kind == kind;
        return count;
    }

    static std::optional<vhidraw::Event> Last(int device, vhidraw::EventKind kind) {
        const std::vector<vhidraw::Event> events = vhidraw::Events();
        for (auto event = events.rbegin(); event != events.rend(); ++event)
            if (event->device == device && event->kind == kind) return *event;
        return std::nullopt;
    }

    // How long `work` took, in milliseconds of the link's clock.
    template <typename Work>
    static std::uint64_t Timed(Work work) {
        const std::uint64_t start = MonotonicMilliseconds();
        work();
        return MonotonicMilliseconds() - start;
    }

    struct Probe {
        pid_t pid = -1;
        int output = -1;  // the probe's standard output
    };

    // Starts hidraw_probe with `arguments`; as user 65534 when `otherUser`
    // and this process runs as root.
    static Probe StartProbe(const std::vector<std::string>& arguments, bool otherUser = false) {
        std::vector<std::string> words;
        std::string program = HIDRAW_PROBE;
        if (otherUser && geteuid() == 0) {
            words = kAsNobody;
            // The build tree may be out of that user's reach; the testbed is not.
            const std::string copy = vhidraw::TestbedRoot() + "/hidraw_probe";
            std::filesystem::copy_file(program, copy,
                                       std::filesystem::copy_options::overwrite_existing);
            program = copy;
        }
        words.push_back(program);
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) return {};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        Probe probe;
        if (posix_spawnp(&probe.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            probe.pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        probe.output = pipeEnds[0];
        return probe;
    }

    // The probe's next line of output, without its newline.
    static std::string ReadLine(const Probe& probe) {
        std::string line;
        char c;
        while (read(probe.output, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }

    static int Wait(Probe& probe) {
        int status = 0;
        waitpid(probe.pid, &status, 0);
        close(probe.output);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Runs the probe to its end: its first line of output.
    static std::string RunProbe(const std::vector<std::string>& arguments, bool otherUser = false) {
        Probe probe = StartProbe(arguments, otherUser);
        const std::string line = ReadLine(probe);
        Wait(probe);
        return line;
    }
};
