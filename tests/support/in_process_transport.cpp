// The transport seam on in-process virtual keys.
#include "in_process_transport.h"

#include <deque>
#include <thread>

#include "fake_clock.h"
#include "key_link.h"
#include "key_transport.h"

namespace inproc {

namespace {

std::vector<vkey::VirtualKey> devices;
std::vector<WireEvent> events;
std::vector<int> opens;
std::vector<int> openHandles;
std::vector<DiscoveryFailure> refusals;
std::vector<int> connections;  // per device: how often a key was plugged in at its place
bool recording = true;
std::chrono::microseconds latency{0};
int untouchedReads = 0;
std::deque<std::uint32_t> readDelays;
std::uint32_t writeDelay = 0;
std::function<void()> beforeWrite;

int PlugIns(int device) {
    return device >= 0 && device < static_cast<int>(connections.size()) ? connections[device] : 0;
}

// Handles are device index + 1, so that null stays "closed", and the
// device's connection in the bits above.
int IndexOf(void* handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle) & 0xFFFF) - 1;
}
// The device a handle reaches: -1 once another key was plugged in at its place.
int DeviceOf(void* handle) {
    const int device = IndexOf(handle);
    const bool current = (reinterpret_cast<std::intptr_t>(handle) >> 16) == PlugIns(device);
    return current ? device : -1;
}
void* HandleOf(int device) {
    return reinterpret_cast<void*>(
        static_cast<std::intptr_t>(PlugIns(device) << 16 | (device + 1)));
}

void Record(WireEventKind kind, int device, const std::span<std::uint8_t>* report = nullptr,
            bool found = false, std::uint32_t limitMs = 0) {
    if (!recording) return;
    WireEvent event{kind, device, found, {}, {}, limitMs, fakeclock::Now()};
    if (report) {
        event.report.assign(report->begin(), report->end());
        if (kind == WireEventKind::Write || kind == WireEventKind::WriteFailed)
            event.frame = vkey::DecodeFrame(report->data(), report->size());
    }
    events.push_back(std::move(event));
}

void TrackOpen(int device) {
    if (opens.size() < devices.size()) {
        opens.resize(devices.size());
        openHandles.resize(devices.size());
    }
    ++opens[device];
    ++openHandles[device];
}

void Close(void*& handle) {
    if (!handle) return;
    const int device = IndexOf(handle);
    if (device >= 0 && device < static_cast<int>(openHandles.size())) --openHandles[device];
    handle = nullptr;
}

}  // namespace

std::vector<vkey::VirtualKey>& Devices() {
    return devices;
}

void Reset() {
    devices.clear();
    events.clear();
    opens.clear();
    openHandles.clear();
    refusals.clear();
    connections.clear();
    recording = true;
    latency = std::chrono::microseconds{0};
    untouchedReads = 0;
    readDelays.clear();
    writeDelay = 0;
    beforeWrite = nullptr;
    fakeclock::Reset();
    ResetKeyLinkState();
}

const std::vector<WireEvent>& Events() {
    return events;
}
void ClearEvents() {
    events.clear();
}
void SetRecording(bool on) {
    recording = on;
}
void SetLatency(std::chrono::microseconds value) {
    latency = value;
}
void SetUntouchedReads(int count) {
    untouchedReads = count;
}
void QueueReadDelays(std::vector<std::uint32_t> delaysMs) {
    readDelays.assign(delaysMs.begin(), delaysMs.end());
}
void SetWriteDelay(std::uint32_t delayMs) {
    writeDelay = delayMs;
}
void RefuseOpening(int device, DiscoveryFailure why) {
    if (refusals.size() <= static_cast<std::size_t>(device)) refusals.resize(device + 1);
    refusals[device] = why;
}
std::string PathOf(int device) {
    return "inproc:" + std::to_string(device);
}
void PlugInAt(int device, vkey::VirtualKey key) {
    if (connections.size() <= static_cast<std::size_t>(device)) connections.resize(device + 1);
    ++connections[device];
    devices[device] = std::move(key);
}
void BeforeEachWrite(std::function<void()> act) {
    beforeWrite = std::move(act);
}
std::string ConnectionOf(int device) {
    return PathOf(device) + "#" + std::to_string(devices.at(device).connection()) + "." +
           std::to_string(PlugIns(device));
}

int Count(WireEventKind kind) {
    int n = 0;
    for (const WireEvent& event : events) n += event.kind == kind;
    return n;
}

std::vector<vkey::DecodedFrame> SentFrames() {
    std::vector<vkey::DecodedFrame> frames;
    for (const WireEvent& event : events)
        if (event.kind == WireEventKind::Write) frames.push_back(event.frame);
    return frames;
}

int OpenCount(int device) {
    return device < static_cast<int>(opens.size()) ? opens[device] : 0;
}
int OpenHandles(int device) {
    return device < static_cast<int>(openHandles.size()) ? openHandles[device] : 0;
}

}  // namespace inproc

using namespace inproc;

namespace {

bool IsKey(const vkey::VirtualKey& device) {
    const vkey::DeviceConfig& config = device.config();
    return device.plugged() && config.attributesReadable && config.vendorId == kKeyVendorId &&
           config.productId == ProfileProductId();
}

DiscoveryFailure RefusalOf(int device) {
    return static_cast<std::size_t>(device) < refusals.size() ? refusals[device]
                                                              : DiscoveryFailure::None;
}

bool InRange(int device) {
    return device >= 0 && device < static_cast<int>(devices.size());
}

}  // namespace

// Like the HID class services: every present device is opened and examined,
// the first with the key's vendor and product ID and usable report lengths
// wins and is opened a second time for reports. When a key has been chosen,
// only its device is examined.
int DiscoverKey() {
    keyLink.discoveryFailure = DiscoveryFailure::NoKey;
    SetFailedPath("");
    for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
        const vkey::VirtualKey& device = devices[i];
        if (!device.plugged() || !IsChosenKeyPath(PathOf(i).c_str())) continue;
        if (IsKey(device) && RefusalOf(i) != DiscoveryFailure::None) {
            keyLink.discoveryFailure = RefusalOf(i);
            SetFailedPath(PathOf(i));
            continue;
        }
        Close(keyLink.queryHandle);
        keyLink.queryHandle = HandleOf(i);
        TrackOpen(i);
        const vkey::DeviceConfig& config = device.config();
        if (IsKey(device)) {
            if (ReportLengthsUsable(config.inputReportLength, config.outputReportLength)) {
                SizeReportBuffers(config.inputReportLength, config.outputReportLength);
                Close(keyLink.reportHandle);
                keyLink.reportHandle = HandleOf(i);
                TrackOpen(i);
                keyLink.discoveryFailure = DiscoveryFailure::None;
                Record(WireEventKind::Discovery, i, nullptr, true);
                return 1;
            }
            keyLink.discoveryFailure = DiscoveryFailure::Unusable;
            SetFailedPath(PathOf(i));
        }
        Close(keyLink.queryHandle);
    }
    Record(WireEventKind::Discovery, -1, nullptr, false);
    return 0;
}

void ForEachKeyPath(KeyPathVisitor visit, void* context) {
    for (int i = 0; i < static_cast<int>(devices.size()); ++i)
        if (IsKey(devices[i])) visit(PathOf(i).c_str(), context);
}

void ForEachKeyConnection(KeyConnectionVisitor visit, void* context) {
    for (int i = 0; i < static_cast<int>(devices.size()); ++i)
        if (IsKey(devices[i])) visit(PathOf(i).c_str(), ConnectionOf(i).c_str(), context);
}

void CloseKey() {
    Close(keyLink.queryHandle);
    Close(keyLink.reportHandle);
    keyLink.linkState = 0;
    keyLink.openedFlag = 0;
}

std::int32_t SendReport(std::uint32_t limitMs) {
    if (beforeWrite) beforeWrite();
    const int i = DeviceOf(keyLink.reportHandle);
    if (InRange(i) && devices[i].plugged() &&
        (!devices[i].takingWrites() || writeDelay > limitMs)) {
        // The write waits out its limit and is cancelled.
        fakeclock::Advance(limitMs);
        Record(WireEventKind::WriteTimeout, i, nullptr, false, limitMs);
        keyLink.linkState = 0;
        return 0;
    }
    const bool sent = InRange(i) && devices[i].AcceptOutputReport(keyLink.outputReport.data(),
                                                                  keyLink.outputReport.size());
    if (sent) fakeclock::Advance(writeDelay);
    Record(sent ? WireEventKind::Write : WireEventKind::WriteFailed, i, &keyLink.outputReport,
           false, limitMs);
    if (!sent) keyLink.linkState = 0;
    return keyLink.linkState;
}

std::int32_t ReceiveReport(std::uint32_t limitMs) {
    const int i = DeviceOf(keyLink.reportHandle);
    if (latency.count() > 0) std::this_thread::sleep_for(latency);
    std::uint32_t delay = 0;
    if (!readDelays.empty()) {
        delay = readDelays.front();
        readDelays.pop_front();
    }
    if (!InRange(i) || !devices[i].plugged()) {
        Record(WireEventKind::ReadFailed, i, nullptr, false, limitMs);
        keyLink.linkState = 0;
    } else if (untouchedReads > 0) {
        --untouchedReads;
        Record(WireEventKind::ReadUntouched, i, nullptr, false, limitMs);
    } else if (delay <= limitMs &&
               devices[i].TakeInputReport(keyLink.inputReport.data(), keyLink.inputReport.size())) {
        fakeclock::Advance(delay);
        Record(WireEventKind::Read, i, &keyLink.inputReport, false, limitMs);
    } else {
        // Nothing within the limit; a report that comes later stays queued.
        fakeclock::Advance(limitMs);
        Record(WireEventKind::ReadTimeout, i, nullptr, false, limitMs);
        keyLink.linkState = 0;
    }
    return keyLink.linkState;
}

void PauseBetweenReads() {
    fakeclock::Advance(kPauseBetweenReadsMs);
    Record(WireEventKind::Pause, DeviceOf(keyLink.reportHandle));
}
