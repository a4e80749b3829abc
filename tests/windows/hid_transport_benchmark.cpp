// Timings of the real Windows HID transport against the virtual-key server,
// under Wine: the round trip of one exchange, and one discovery with foreign
// devices listed before the key. Run from bin/ through the tree's wine-run; the
// tests never run it.
//
//   hid_transport_benchmark [exchanges] [discoveries]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "key_link.h"
#include "virtual_key_server.h"

namespace {

double TicksPerMicrosecond() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1e6;
}

struct Spread {
    double median = 0;
    double p99 = 0;
};

// Median and 99th percentile (nearest rank) of the samples, in microseconds.
Spread SpreadOf(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    const std::size_t rank99 = (99 * n + 99) / 100;  // ceil(0.99 n)
    return {samples[n / 2], samples[std::min(n, rank99) - 1]};
}

template <typename Operation>
std::vector<double> Time(int count, Operation operation) {
    static const double perMicrosecond = TicksPerMicrosecond();
    std::vector<double> samples;
    samples.reserve(count);
    for (int i = 0; i < count; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        operation();
        QueryPerformanceCounter(&end);
        samples.push_back(static_cast<double>(end.QuadPart - start.QuadPart) / perMicrosecond);
    }
    return samples;
}

bool Control(const std::string& request) {
    const std::string reply = server::Request(request);
    if (vhid::ReplyOk(reply)) return true;
    std::fprintf(stderr, "%s -> %s\n", request.c_str(), reply.c_str());
    return false;
}

bool BenchExchange(int count) {
    if (!Control("clear") || !Control("add-key key-password=bench")) return false;
    if (OpenKey(8) != 0x81E1) return false;
    bool allAnswered = true;
    const auto samples = Time(count, [&] {
        if (ReadCell(40) != 'b' || LastExchangeFailed()) allAnswered = false;
    });
    if (!allAnswered) {
        std::fprintf(stderr, "an exchange failed\n");
        return false;
    }
    const Spread spread = SpreadOf(samples);
    std::printf("exchange round trip (%d): median %.0f us, p99 %.0f us\n", count, spread.median,
                spread.p99);
    return true;
}

bool BenchDiscovery(int foreignDevices, int count) {
    if (!Control("clear")) return false;
    for (int i = 0; i < foreignDevices; ++i)
        if (!Control("add-device")) return false;
    if (!Control("add-key")) return false;
    bool allFound = true;
    const auto samples = Time(count, [&] {
        if (OpenKey(8) != 0x81E1) allFound = false;
    });
    if (!allFound) {
        std::fprintf(stderr, "a discovery missed the key\n");
        return false;
    }
    const Spread spread = SpreadOf(samples);
    std::printf("discovery, %2d foreign devices first (%d): median %.2f ms, p99 %.2f ms\n",
                foreignDevices, count, spread.median / 1000, spread.p99 / 1000);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int exchanges = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const int discoveries = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    if (!server::Start(false)) {
        std::fprintf(stderr, "no virtual-key server\n");
        return 1;
    }
    bool ok = BenchExchange(exchanges);
    for (int foreign : {1, 10, 50}) ok = ok && BenchDiscovery(foreign, discoveries);
    OpenKey(8);
    Control("clear");
    server::Stop();
    return ok ? 0 : 1;
}
