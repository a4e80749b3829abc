// Pipe instances of the virtual devices and of the control channel, all
// completing on one I/O completion port that the server's one thread serves.
//
// Device pipes have no buffer: a client's WriteFile completes when the
// server has taken the output report, and an input report is handed over
// only when the client reads. So each handle's queue stays here, where it is
// kept to the length HID keeps, and a write longer than the device's output
// report can still be refused (the server reads exactly the report length,
// sees more data and drops the handle, which fails the pending write).
#include "device_pipes.h"

#include <algorithm>

#include "vhid_names.h"

namespace vhid {

namespace {

constexpr int kListeningInstances = 3;  // the program opens two handles back to back
constexpr DWORD kControlBuffer = 16384;
constexpr int kMaxRepliesPerReport = 1024;

HANDLE port = nullptr;
std::vector<std::unique_ptr<Device>> devices;
std::vector<PipeInstance*> controlInstances;
std::string controlPath;
int nextId = 1;

bool Idle(const PipeInstance& p) {
    return !p.connecting && !p.reading && !p.sending;
}

std::vector<PipeInstance*>& OwnerList(PipeInstance& p) {
    return p.device ? p.device->instances : controlInstances;
}

// Closes the instance; it is freed once its last operation has come back.
void Retire(PipeInstance* p) {
    auto& list = OwnerList(*p);
    list.erase(std::remove(list.begin(), list.end(), p), list.end());
    p->device = nullptr;
    CloseHandle(p->pipe);
    p->closed = true;
    if (Idle(*p)) delete p;
}

void OnConnected(PipeInstance* p);
void TopUp(Device* device);
void ListenControl();

void Listen(PipeInstance* p) {
    p->connecting = true;
    if (ConnectNamedPipe(p->pipe, &p->io)) return;  // completes on the port
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) return;
    p->connecting = false;
    if (error == ERROR_PIPE_CONNECTED) {
        OnConnected(p);
    } else {
        Retire(p);
    }
}

PipeInstance* NewInstance(const std::string& path, Device* device, DWORD bufferSize) {
    HANDLE pipe = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                   PIPE_UNLIMITED_INSTANCES, bufferSize, bufferSize, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return nullptr;
    auto* p = new PipeInstance;
    p->pipe = pipe;
    p->device = device;
    CreateIoCompletionPort(pipe, port, reinterpret_cast<ULONG_PTR>(p), 0);
    OwnerList(*p).push_back(p);
    return p;
}

void TopUp(Device* device) {
    if (!device->plugged) return;
    int listening = 0;
    for (const PipeInstance* p : device->instances) listening += p->connected ? 0 : 1;
    for (; listening < kListeningInstances; ++listening) {
        PipeInstance* p = NewInstance(kPipeRoot + device->name, device, 0);
        if (!p) return;
        Listen(p);
    }
}

void ListenControl() {
    int listening = 0;
    for (const PipeInstance* p : controlInstances) listening += p->connected ? 0 : 1;
    for (; listening < kListeningInstances; ++listening) {
        PipeInstance* p = NewInstance(controlPath, nullptr, kControlBuffer);
        if (!p) return;
        Listen(p);
    }
}

void StartRead(PipeInstance* p) {
    p->received.resize(p->device ? p->device->key.config().outputReportLength : kControlBuffer);
    p->reading = true;
    if (ReadFile(p->pipe, p->received.data(), static_cast<DWORD>(p->received.size()), nullptr,
                 &p->io))
        return;
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING || error == ERROR_MORE_DATA) return;
    p->reading = false;
    Retire(p);
}

void SendNext(PipeInstance* p) {
    if (p->sending || p->queue.empty() || !p->connected || p->closed) return;
    p->inFlight = std::move(p->queue.front());
    p->queue.pop_front();
    p->sending = true;
    if (WriteFile(p->pipe, p->inFlight.data(), static_cast<DWORD>(p->inFlight.size()), nullptr,
                  &p->send) ||
        GetLastError() == ERROR_IO_PENDING)
        return;
    p->sending = false;  // the client is gone; its read side says so
}

void OnConnected(PipeInstance* p) {
    p->connected = true;
    if (p->device) {
        ++p->device->opens;
        Device* device = p->device;
        StartRead(p);
        TopUp(device);
    } else {
        StartRead(p);
        ListenControl();
    }
}

void OnOutputReport(PipeInstance* p, DWORD length) {
    Device& device = *p->device;
    if (length != device.key.config().outputReportLength) {
        ++device.refusedReports;  // shorter than the report: dropped
        return;
    }
    if (!device.key.AcceptOutputReport(p->received.data(), length)) {
        if (!device.key.plugged()) Unplug(device);  // pulled out on this write
        return;
    }
    DeliverReplies(device);
}

void OnDeviceRead(PipeInstance* p, bool ok, DWORD length, DWORD error) {
    Device* device = p->device;
    if (!ok && error == ERROR_MORE_DATA) {
        // Longer than the output report: refuse it by dropping the handle,
        // which fails the client's pending write.
        ++device->refusedReports;
        Retire(p);
        TopUp(device);
        return;
    }
    if (!ok) {  // the client closed its handle
        Retire(p);
        TopUp(device);
        return;
    }
    OnOutputReport(p, length);
    if (!p->closed) StartRead(p);
}

void OnControlRead(PipeInstance* p, bool ok, DWORD length, ControlHandler answer, bool& stop) {
    if (!ok) {
        Retire(p);
        ListenControl();
        return;
    }
    const std::string reply =
        answer(std::string(reinterpret_cast<const char*>(p->received.data()), length), stop);
    p->queue.emplace_back(reply.begin(), reply.end());
    SendNext(p);
}

}  // namespace

bool StartPipes() {
    port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    return port != nullptr;
}

HANDLE CompletionPort() {
    return port;
}

std::vector<std::unique_ptr<Device>>& Devices() {
    return devices;
}

Device* FindDevice(int id) {
    for (auto& device : devices)
        if (device->id == id) return device.get();
    return nullptr;
}

Device* FindDeviceByName(const std::string& name) {
    for (auto& device : devices)
        if (device->name == name) return device.get();
    return nullptr;
}

Device* AddDevice(const std::string& instance, bool foreign, vkey::KeyContents contents,
                  vkey::DeviceConfig config) {
    auto device = std::make_unique<Device>();
    device->key = vkey::VirtualKey(contents, config);
    device->id = nextId++;
    device->foreign = foreign;
    device->name = DevicePipeName(instance, config.vendorId, config.productId, device->id);
    if (foreign) device->key.SetSilent(true);
    Device* added = device.get();
    devices.push_back(std::move(device));
    TopUp(added);
    return added;
}

void RemoveDevice(int id) {
    for (auto it = devices.begin(); it != devices.end(); ++it) {
        if ((*it)->id != id) continue;
        Unplug(**it);
        devices.erase(it);
        return;
    }
}

void Unplug(Device& device) {
    device.plugged = false;
    device.key.Unplug();
    while (!device.instances.empty()) Retire(device.instances.back());
}

void Replug(Device& device) {
    if (device.plugged) return;
    device.plugged = true;
    device.key.Replug();
    TopUp(&device);
}

void DeliverReplies(Device& device) {
    std::vector<std::uint8_t> report(device.key.config().inputReportLength);
    for (int n = 0;
         n < kMaxRepliesPerReport && device.key.TakeInputReport(report.data(), report.size());
         ++n) {
        for (PipeInstance* p : device.instances) {
            if (!p->connected) continue;
            if (p->queue.size() == vkey::kQueuedReports) p->queue.pop_front();  // as HID drops
            p->queue.push_back(report);
            SendNext(p);
        }
    }
}

int OpenHandles(const Device& device) {
    int open = 0;
    for (const PipeInstance* p : device.instances)
        if (p->connected && PeekNamedPipe(p->pipe, nullptr, 0, nullptr, nullptr, nullptr)) ++open;
    return open;
}

bool ListenForControl(const std::string& instance) {
    controlPath = ControlPipePath(instance);
    ListenControl();
    return !controlInstances.empty();
}

bool ServeOneCompletion(ControlHandler answer) {
    DWORD length = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* overlapped = nullptr;
    const bool ok = GetQueuedCompletionStatus(port, &length, &key, &overlapped, INFINITE);
    const DWORD error = ok ? 0 : GetLastError();
    if (!overlapped) return false;  // the port itself failed
    auto* p = reinterpret_cast<PipeInstance*>(key);
    bool stop = false;
    if (overlapped == &p->io && p->connecting) {
        p->connecting = false;
        if (p->closed) {
            if (Idle(*p)) delete p;
        } else if (ok || error == ERROR_PIPE_CONNECTED) {
            OnConnected(p);
        } else {
            Retire(p);
        }
    } else if (overlapped == &p->io) {
        p->reading = false;
        if (p->closed) {
            if (Idle(*p)) delete p;
        } else if (p->device) {
            OnDeviceRead(p, ok, length, error);
        } else {
            OnControlRead(p, ok, length, answer, stop);
        }
    } else {
        p->sending = false;
        if (p->closed) {
            if (Idle(*p)) delete p;
        } else if (!p->device) {
            StartRead(p);  // the caller closes its end once it has the reply
        } else {
            SendNext(p);
        }
    }
    return !stop;
}

}  // namespace vhid
