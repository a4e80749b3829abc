// The transport seam on in-process virtual keys.
#include "in_process_transport.h"

#include <thread>

#include "key_link.h"
#include "key_transport.h"

namespace inproc {

namespace {

std::vector<vkey::VirtualKey> devices;
std::vector<WireEvent> events;
std::vector<int> opens;
std::vector<int> openHandles;
bool recording = true;
std::chrono::microseconds latency{0};
int untouchedReads = 0;

// Handles are device index + 1, so that null stays "closed".
int DeviceOf(void* handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1;
}
void* HandleOf(int device) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(device + 1));
}

void Record(WireEventKind kind, int device, const std::vector<std::uint8_t>* report = nullptr,
            bool found = false) {
    if (!recording) return;
    WireEvent event{kind, device, found, {}, {}};
    if (report) {
        event.report = *report;
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
    const int device = DeviceOf(handle);
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
    recording = true;
    latency = std::chrono::microseconds{0};
    untouchedReads = 0;
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

// Like the HID class services: every present device is opened and examined,
// the first with the key's vendor and product ID and usable report lengths
// wins and is opened a second time for reading.
int DiscoverKey() {
    const auto wanted =
        static_cast<std::uint16_t>(deviceProfile.productIdHigh * 256 + deviceProfile.productIdLow);
    for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
        const vkey::VirtualKey& device = devices[i];
        if (!device.plugged()) continue;
        Close(keyLink.writeHandle);
        keyLink.writeHandle = HandleOf(i);
        TrackOpen(i);
        const vkey::DeviceConfig& config = device.config();
        if (config.attributesReadable && config.vendorId == kKeyVendorId &&
            config.productId == wanted &&
            ReportLengthsUsable(config.inputReportLength, config.outputReportLength)) {
            SizeReportBuffers(config.inputReportLength, config.outputReportLength);
            Close(keyLink.readHandle);
            keyLink.readHandle = HandleOf(i);
            TrackOpen(i);
            Record(WireEventKind::Discovery, i, nullptr, true);
            return 1;
        }
        Close(keyLink.writeHandle);
    }
    Record(WireEventKind::Discovery, -1, nullptr, false);
    return 0;
}

std::int32_t SendReport() {
    const int i = DeviceOf(keyLink.writeHandle);
    if (i >= 0 && i < static_cast<int>(devices.size()) && devices[i].plugged() &&
        !devices[i].takingWrites()) {
        // The write would wait out its limit and be cancelled.
        Record(WireEventKind::WriteTimeout, i);
        keyLink.linkState = 0;
        return 0;
    }
    const bool sent =
        i >= 0 && i < static_cast<int>(devices.size()) &&
        devices[i].AcceptOutputReport(keyLink.outputReport.data(), keyLink.outputReport.size());
    Record(sent ? WireEventKind::Write : WireEventKind::WriteFailed, i, &keyLink.outputReport);
    if (!sent) keyLink.linkState = 0;
    return keyLink.linkState;
}

std::int32_t ReceiveReport() {
    const int i = DeviceOf(keyLink.readHandle);
    if (latency.count() > 0) std::this_thread::sleep_for(latency);
    if (i < 0 || i >= static_cast<int>(devices.size()) || !devices[i].plugged()) {
        Record(WireEventKind::ReadFailed, i);
        keyLink.linkState = 0;
    } else if (untouchedReads > 0) {
        --untouchedReads;
        Record(WireEventKind::ReadUntouched, i);
    } else if (devices[i].TakeInputReport(keyLink.inputReport.data(), keyLink.inputReport.size())) {
        Record(WireEventKind::Read, i, &keyLink.inputReport);
    } else {
        Record(WireEventKind::ReadTimeout, i);
        keyLink.linkState = 0;
    }
    return keyLink.linkState;
}

void PauseBetweenReads() {
    Record(WireEventKind::Pause, DeviceOf(keyLink.readHandle));
}
