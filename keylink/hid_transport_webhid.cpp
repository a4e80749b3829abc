// The key link's transport in the browser: WebHID, through the page's
// device layer (web/page/key_devices.js, handed to the core as
// Module.keyDevices when the page starts it).
//
// The device layer keeps every key the user has granted to the page, each
// under a number of its own for as long as it stays connected: a key pulled
// out and plugged back in is a new connection with a new number, as a
// hidraw node's sysfs name is new for each connection. A key's path is
// "webhid:<number>". The layer queues each connection's input reports from
// the moment it is opened; a discovery empties the queue, as a fresh open of
// a hidraw node starts with none.
//
// WebHID's calls return promises: the blocking seam waits on them through
// Asyncify (EM_ASYNC_JS), so that the portable core runs unchanged. Only one
// call into the core may run at a time; the page queues its operations.
//
// WebHID cannot cancel a report it was handed. A send that the limit cuts
// off closes the connection, which ends the transfer; the next discovery
// opens it again. Otherwise a connection, once opened, stays open until the
// key is pulled out or the page closes.
#include <emscripten.h>

#include <array>
#include <string_view>

#include "key_link.h"
#include "key_transport.h"

namespace {

// What the device layer says of an open.
enum class OpenResult : int { Opened = 0, Refused = 1, Gone = 2 };

constexpr std::size_t kMaxConnections = 64;

// The JavaScript in these stays as written (clang-format would break it).
// clang-format off
// The numbers of the connections with the key's vendor and product ID, in
// the order the layer got them; their count, at most `capacity`.
EM_JS(int, ListGrantedKeys, (int vendorId, int productId, int* numbers, int capacity), {
    const found = Module.keyDevices.list(vendorId, productId);
    const count = Math.min(found.length, capacity);
    for (let i = 0; i < count; ++i) HEAP32[(numbers >> 2) + i] = found[i];
    return count;
});

// The connection's report lengths as Windows counts them (the report-ID byte
// included); false when it is gone or numbers its reports.
EM_JS(bool, ConnectionReportLengths, (int number, int* lengths), {
    const found = Module.keyDevices.reportLengths(number);
    if (!found) return false;
    HEAP32[lengths >> 2] = found.input;
    HEAP32[(lengths >> 2) + 1] = found.output;
    return true;
});

EM_ASYNC_JS(int, OpenConnection, (int number), { return await Module.keyDevices.open(number); });

// Hands the output report without its ID byte (0, which WebHID takes
// apart) to the browser, which copies it; false when the connection is not
// open. Whether the key took it shows in the wait for the reply: a send that
// fails ends it without one, and one not taken within the exchange's limit
// closes the connection.
EM_JS(bool, SendToConnection, (int number, const std::uint8_t* report, int length), {
    const data = HEAPU8.slice(report, report + length);
    const sent = Module.keyDevices.send(number, data);
    data.fill(0);
    return sent;
});

// The next input report, without its ID byte, into `report` (as much of it
// as fits): its length, 0 when none came within the limit, -1 when the
// connection is gone.
EM_ASYNC_JS(int, ReceiveFromConnection,
            (int number, std::uint8_t* report, int capacity, int limitMs), {
                const data = await Module.keyDevices.receive(number, limitMs);
                if (data === null) return Module.keyDevices.connected(number) ? 0 : -1;
                const length = data.length;
                HEAPU8.set(data.subarray(0, Math.min(length, capacity)), report);
                data.fill(0);
                return length;
            });

EM_ASYNC_JS(void, PauseFor, (int ms),
            { await new Promise((resolve) => setTimeout(resolve, ms)); });
// clang-format on

int keyConnection = -1;  // the connection the link holds; -1 when none

// "webhid:<number>".
KeyPath PathOf(int number) {
    constexpr std::string_view kPrefix = "webhid:";
    std::array<char, 12> digits{};
    std::size_t count = 0;
    do digits[count++] = static_cast<char>('0' + number % 10);
    while ((number /= 10) > 0 && count < digits.size());
    KeyPath path{};
    std::size_t at = kPrefix.copy(path.data(), kPrefix.size());
    while (count > 0) path[at++] = digits[--count];
    return path;
}

// The connections with the key's vendor and product ID, in the order the
// device layer got them.
struct GrantedKeys {
    std::array<int, kMaxConnections> numbers{};
    int count = 0;
};

GrantedKeys Granted() {
    GrantedKeys granted;
    granted.count = ListGrantedKeys(kKeyVendorId, ProfileProductId(), granted.numbers.data(),
                                    static_cast<int>(granted.numbers.size()));
    return granted;
}

// Opens the connection and sizes the buffers to its reports; None when it is
// the link's now.
DiscoveryFailure TakeKey(int number) {
    std::array<int, 2> lengths{};
    if (!ConnectionReportLengths(number, lengths.data())) return DiscoveryFailure::Unusable;
    const auto input = static_cast<std::uint16_t>(lengths[0]);
    const auto output = static_cast<std::uint16_t>(lengths[1]);
    if (!ReportLengthsUsable(input, output)) return DiscoveryFailure::Unusable;
    switch (static_cast<OpenResult>(OpenConnection(number))) {
        case OpenResult::Opened:
            break;
        case OpenResult::Refused:
            return DiscoveryFailure::PermissionDenied;
        case OpenResult::Gone:
            return DiscoveryFailure::NoKey;
    }
    keyConnection = number;
    SizeReportBuffers(input, output);
    return DiscoveryFailure::None;
}

}  // namespace

int DiscoverKey() {
    keyConnection = -1;
    keyLink.discoveryFailure = DiscoveryFailure::NoKey;
    SetFailedPath("");
    const GrantedKeys granted = Granted();
    for (int i = 0; i < granted.count; ++i) {
        const KeyPath path = PathOf(granted.numbers[i]);
        if (!IsChosenKeyPath(path.data())) continue;
        const DiscoveryFailure why = TakeKey(granted.numbers[i]);
        if (why == DiscoveryFailure::None) {
            keyLink.discoveryFailure = DiscoveryFailure::None;
            return 1;
        }
        if (why != DiscoveryFailure::NoKey) {
            keyLink.discoveryFailure = why;
            SetFailedPath(path.data());
        }
    }
    return 0;
}

void ForEachKeyPath(KeyPathVisitor visit, void* context) {
    const GrantedKeys granted = Granted();
    for (int i = 0; i < granted.count; ++i) visit(PathOf(granted.numbers[i]).data(), context);
}

// Each connection has a number of its own, which its path carries.
void ForEachKeyConnection(KeyConnectionVisitor visit, void* context) {
    const GrantedKeys granted = Granted();
    for (int i = 0; i < granted.count; ++i) {
        const KeyPath path = PathOf(granted.numbers[i]);
        visit(path.data(), path.data(), context);
    }
}

// The link lets go of the connection, which stays open for the next
// operation: opening a HID device costs the browser milliseconds, and
// WebHID takes no lock that another program would wait for.
void CloseKey() {
    keyConnection = -1;
    keyLink.linkState = 0;
    keyLink.openedFlag = 0;
}

// The browser takes the report without a wait; the exchange's limit bounds
// the wait for its reply (ReceiveReport), which ends at once when the send
// fails.
std::int32_t SendReport(std::uint32_t) {
    const bool sent =
        keyConnection >= 0 && SendToConnection(keyConnection, keyLink.outputReport.data() + 1,
                                               keyLink.outputReportLength - 1);
    if (!sent) keyLink.linkState = 0;
    return keyLink.linkState;
}

std::int32_t ReceiveReport(std::uint32_t limitMs) {
    // The report without its ID byte, after the ID byte; a short one is no
    // reply.
    const int length = keyLink.inputReportLength - 1;
    if (keyConnection >= 0 && ReceiveFromConnection(keyConnection, keyLink.inputReport.data() + 1,
                                                    length, static_cast<int>(limitMs)) == length) {
        keyLink.inputReport[0] = 0;
        return keyLink.linkState;
    }
    keyLink.linkState = 0;
    return 0;
}

void PauseBetweenReads() {
    PauseFor(kPauseBetweenReadsMs);
}
