// One framed exchange against the in-process virtual key: the cost of the
// program's framing, matching and the virtual firmware, without any wire.
#include <benchmark/benchmark.h>

#include "in_process_transport.h"
#include "key_link.h"

namespace {

void OpenVirtualKey() {
    inproc::Reset();
    inproc::Devices().emplace_back(vkey::ProvisionedContents({1, 2, 3, 4}, "pw", "id", "login"));
    inproc::SetRecording(false);
    OpenKey(8);
}

void BM_TransactRoundTrip(benchmark::State& state) {
    OpenVirtualKey();
    std::uint8_t address = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Transact(0x80, address, 0));
        address = static_cast<std::uint8_t>((address + 1) % 59);
    }
    if (LastExchangeFailed()) state.SkipWithError("the virtual key did not answer");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TransactRoundTrip);

// The worst case a foreign talker costs: 102 reads and 101 pauses (the
// in-process pause does not sleep, so this is the program's own work).
void BM_ExchangeWithOnlyForeignReplies(benchmark::State& state) {
    OpenVirtualKey();
    inproc::Devices()[0].SetForeignRepliesOnly(true);
    for (auto _ : state) benchmark::DoNotOptimize(Transact(0x80, 0, 0));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExchangeWithOnlyForeignReplies);

void BM_Discovery(benchmark::State& state) {
    OpenVirtualKey();
    for (auto _ : state) benchmark::DoNotOptimize(OpenKey(8));
}
BENCHMARK(BM_Discovery);

}  // namespace

BENCHMARK_MAIN();
