// The three administrative operations against the virtual key with a link
// latency of 1 ms per round trip. "ratio" is the time of one operation over
// (its exchanges x 1 ms): near 1 when the program's own work does not show.
// The bare round trip gives the floor that the sleep itself costs.
#include <benchmark/benchmark.h>

#include <chrono>

#include "fake_admin_window.h"
#include "in_process_transport.h"
#include "key_admin.h"
#include "key_link.h"
#include "key_transport.h"

namespace {

constexpr std::chrono::microseconds kLatency{1000};

vkey::VirtualKey& SetUpKey() {
    inproc::Reset();
    fakewin::ResetWindow();
    inproc::Devices().emplace_back(
        vkey::ProvisionedContents({1, 2, 3, 4}, "secret", "alice", "hunter2"));
    inproc::SetRecording(false);
    inproc::SetLatency(kLatency);
    return inproc::Devices().back();
}

// Runs `operation` per iteration and reports exchanges and the ratio.
template <typename Operation>
void RunOperation(benchmark::State& state, vkey::VirtualKey& key, Operation operation) {
    const int exchangesBefore = key.exchanges();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) operation();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double exchanges =
        static_cast<double>(key.exchanges() - exchangesBefore) / state.iterations();
    state.counters["exchanges"] = exchanges;
    state.counters["ratio"] = elapsed.count() / state.iterations() /
                              (exchanges * std::chrono::duration<double>(kLatency).count());
}

void BM_RoundTripAtOneMs(benchmark::State& state) {
    vkey::VirtualKey& key = SetUpKey();
    OpenKey(kKeyGeneration);
    RunOperation(state, key, [] { benchmark::DoNotOptimize(ReadCell(16)); });
}

void BM_RefreshKeyStatus(benchmark::State& state) {
    vkey::VirtualKey& key = SetUpKey();
    RunOperation(state, key, [] {
        RefreshKeyStatus();
        fakewin::Window().statusTexts.clear();
    });
    if (keyIdentity.status != KeyStatus::Connected) state.SkipWithError("refresh failed");
}

void BM_ShowLoginPassword(benchmark::State& state, const char* typed) {
    vkey::VirtualKey& key = SetUpKey();
    fakewin::ViewForm(typed);
    RunOperation(state, key, [] {
        ShowLoginPassword(nullptr);
        fakewin::Window().boxes.clear();
    });
}

void BM_ChangePassword(benchmark::State& state, bool keyForm) {
    vkey::VirtualKey& key = SetUpKey();
    RunOperation(state, key, [keyForm] {
        // The same password again, so every iteration succeeds.
        if (keyForm)
            fakewin::KeyChangeForm("secret", "secret", "secret");
        else
            fakewin::LoginChangeForm("secret", "hunter2");
        ChangePassword(nullptr);
    });
    if (fakewin::Window().boxes.size() != 1 ||
        fakewin::Window().boxes[0].icon != MessageIcon::Information)
        state.SkipWithError("change failed");
}

void BM_SetFirstKeyPassword(benchmark::State& state) {
    vkey::VirtualKey& key = SetUpKey();
    RunOperation(state, key, [&key] {
        key.contents().cells[40] = 0x0D;  // factory-initial again, without an exchange
        keyIdentity.status = KeyStatus::Initial;
        fakewin::KeyChangeForm("", "first", "first");
        ChangePassword(nullptr);
    });
    if (keyIdentity.status != KeyStatus::Connected) state.SkipWithError("first password failed");
}

// A key chosen by its serial number and the operation that follows, as
// keyadmin-cli and the page run them: the choice's four exchanges included.
void BM_ChosenKey(benchmark::State& state, PasswordField field, bool change) {
    vkey::VirtualKey& key = SetUpKey();
    bool done = true;
    RunOperation(state, key, [field, change, &done] {
        const TakeText secret = [](TextField& text) { text = {'s', 'e', 'c', 'r', 'e', 't'}; };
        ExpectAnyKey();
        SerialNumber serial{};
        done &= FindKeySerial(serial);
        ExpectKeySerial(serial);
        if (change)
            done &= ChangeKeyField({field, FirstKeyPassword::Refused, secret, secret, secret})
                        .outcome == ChangeOutcome::Changed;
        else
            done &= UnlockLoginPassword(secret).outcome == UnlockOutcome::Unlocked;
        CloseKey();
        WipePasswordBuffers();
    });
    if (!done) state.SkipWithError("operation failed");
}

constexpr int kIterations = 40;
BENCHMARK(BM_RoundTripAtOneMs)->Iterations(200)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshKeyStatus)
    ->Iterations(kIterations)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ShowLoginPassword, match, "secret")
    ->Iterations(kIterations)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ShowLoginPassword, no_match, "wrong")
    ->Iterations(kIterations)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChangePassword, login_password, false)
    ->Iterations(kIterations)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChangePassword, key_password, true)
    ->Iterations(kIterations)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChosenKey, show_login_password, PasswordField::LoginPassword, false)
    ->Iterations(kIterations)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChosenKey, change_login_password, PasswordField::LoginPassword, true)
    ->Iterations(kIterations)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChosenKey, change_key_password, PasswordField::KeyPassword, true)
    ->Iterations(kIterations)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetFirstKeyPassword)
    ->Iterations(kIterations)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
