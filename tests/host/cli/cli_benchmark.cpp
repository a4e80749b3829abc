// Each command of keyadmin-cli against the virtual key with a link latency
// of 1 ms per round trip, run in-process as the program runs it (its
// arguments parsed, passwords from standard input, its output written).
// "ratio" is a command's time over (its exchanges x 1 ms), "overRoundTrip"
// over (its exchanges x the bare round trip measured first, the sleep's own
// cost included): the goal is at most 1.05. The start of the program itself
// is measured apart: ProcessStart runs the real keyadmin-cli (--version).
// Built with the tree, never run by the tests.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include "command_line.h"
#include "in_process_transport.h"
#include "key_link.h"
#include "key_operations.h"
#include "messages.h"
#include "scripted_terminal.h"

extern char** environ;

namespace {

constexpr std::chrono::microseconds kLatency{1000};
double roundTripSeconds = 0;  // measured by BM_RoundTripAtOneMs, which runs first

void SetUpKeys(bool factoryInitial, int keys = 1) {
    inproc::Reset();
    term::Reset();
    UseLanguage(Language::English);
    for (int i = 0; i < keys; ++i) {
        const std::array<std::uint8_t, 4> serial{0x4B, 0x41, 0xD0,
                                                 static_cast<std::uint8_t>(i + 1)};
        inproc::Devices().emplace_back(
            factoryInitial ? vkey::FactoryInitialContents(serial)
                           : vkey::ProvisionedContents(serial, "1234", "demo-user", "demo-pass1"));
    }
    inproc::SetRecording(false);
    inproc::SetLatency(kLatency);
}

int Exchanges() {
    int exchanges = 0;
    for (const vkey::VirtualKey& key : inproc::Devices()) exchanges += key.exchanges();
    return exchanges;
}

// Runs the command per iteration with these lines typed; reports its
// exchanges and the ratios. `between` runs untimed before each iteration.
void RunCommand(benchmark::State& state, std::vector<const char*> arguments,
                std::vector<std::string> typed, int expectedExit = 0, void (*between)() = nullptr) {
    arguments.insert(arguments.begin(), "keyadmin-cli");
    int exchanges = 0;
    std::chrono::duration<double> elapsed{0};
    for (auto _ : state) {
        state.PauseTiming();
        if (between) between();
        term::Console().out.clear();
        term::Console().err.clear();
        term::Console().typed.assign(typed.begin(), typed.end());
        const int before = Exchanges();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const int code = RunCommandLine(static_cast<int>(arguments.size()), arguments.data());
        elapsed += std::chrono::steady_clock::now() - start;
        exchanges += Exchanges() - before;
        if (code != expectedExit) {
            state.SkipWithError(
                ("exit code " + std::to_string(code) + ": " + term::Console().err).c_str());
            break;
        }
    }
    const double perRun = static_cast<double>(exchanges) / state.iterations();
    const double seconds = elapsed.count() / state.iterations();
    state.counters["exchanges"] = perRun;
    state.counters["ratio"] = seconds / (perRun * std::chrono::duration<double>(kLatency).count());
    if (roundTripSeconds > 0)
        state.counters["overRoundTrip"] = seconds / (perRun * roundTripSeconds);
}

void BM_RoundTripAtOneMs(benchmark::State& state) {
    SetUpKeys(false);
    OpenKey(kKeyGeneration);
    const int before = inproc::Devices()[0].exchanges();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) benchmark::DoNotOptimize(ReadCell(16));
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    roundTripSeconds = elapsed.count() / (inproc::Devices()[0].exchanges() - before);
    state.counters["roundTripUs"] = roundTripSeconds * 1e6;
}

void BM_List(benchmark::State& state) {
    SetUpKeys(false);
    RunCommand(state, {"list"}, {});
}

void BM_ListTwoKeys(benchmark::State& state) {
    SetUpKeys(false, 2);
    RunCommand(state, {"list"}, {});
}

void BM_Status(benchmark::State& state) {
    SetUpKeys(false);
    RunCommand(state, {"status"}, {});
}

void BM_StatusBySerialOfTwo(benchmark::State& state) {
    SetUpKeys(false, 2);
    RunCommand(state, {"status", "--serial", "4b41d002"}, {});
}

void BM_StatusJson(benchmark::State& state) {
    SetUpKeys(false);
    RunCommand(state, {"status", "--json"}, {});
}

void BM_ShowLoginPassword(benchmark::State& state) {
    SetUpKeys(false);
    RunCommand(state, {"show-login-password"}, {"1234"});
}

void BM_SetLoginPassword(benchmark::State& state) {
    SetUpKeys(false);
    RunCommand(state, {"set-login-password"}, {"1234", "demo-pass1"});
}

void BM_SetKeyPassword(benchmark::State& state) {
    SetUpKeys(false);
    RunCommand(state, {"set-key-password"}, {"1234", "1234", "1234"});
}

void BM_Init(benchmark::State& state) {
    SetUpKeys(true);
    RunCommand(state, {"init"}, {"first", "first"}, 0, [] {
        inproc::Devices()[0].contents() = vkey::FactoryInitialContents({0x4B, 0x41, 0xD0, 0x01});
    });
}

// The real program's start and end, with nothing to do on the key.
void BM_ProcessStart(benchmark::State& state) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(KEYADMIN_CLI), const_cast<char*>("--version"), nullptr};
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        if (posix_spawn(&child, KEYADMIN_CLI, &actions, nullptr, argv, environ) != 0 ||
            waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("keyadmin-cli --version failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

}  // namespace

BENCHMARK(BM_RoundTripAtOneMs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_List)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListTwoKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Status)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatusBySerialOfTwo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatusJson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowLoginPassword)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetLoginPassword)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetKeyPassword)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Init)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessStart)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
