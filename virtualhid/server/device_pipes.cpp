// Pipe instances of the virtual devices and of the control channel, all
// completing on one I/O completion port that the server's one thread serves.
//
// Device pipes have no buffer: a client's WriteFile completes only when the
// server has taken the whole message. Each device handle therefore first
// waits with a zero-byte read, which completes when a message has come but
// leaves it in the pipe; the server then looks at its length. A report of
// the output report length is taken. One of another length is refused as
// HID refuses it, by failing the write: the server drops the handle, which
// fails the pending write. (In a program that loaded the stand-in hid.dll a
// shorter write never comes here: the stand-in fails it on the handle, as
// Wine's HID does. This check serves other clients, and longer writes.)
// While the key takes no output reports, the message is left where it is
// and the client's write does not complete.
// Each handle's input-report queue stays here, kept to the length HID keeps.
#include "device_pipes.h"

#include <algorithm>
#include <cstdio>

#include "key_file.h"
#include "timed_faults.h"
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
    return !p.connecting && !p.reading && !p.waiting && !p.sending && !p.serving;
}

std::vector<PipeInstance*>& OwnerList(PipeInstance& p) {
    return p.device ? p.device->instances : controlInstances;
}

// Closes the instance; it is freed once its last operation has come back
// and its completion has been handled.
void Retire(PipeInstance* p) {
    ForgetInstance(p);
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

// The client closed its handle, or the server drops it.
void Drop(PipeInstance* p) {
    Device* device = p->device;
    Retire(p);
    if (device) {
        TopUp(device);
    } else {
        ListenControl();
    }
}

// Reads the next message whole: a control request, or an output report
// whose length is already known to be right.
void StartRead(PipeInstance* p, std::size_t length) {
    p->received.resize(length);
    p->reading = true;
    if (ReadFile(p->pipe, p->received.data(), static_cast<DWORD>(length), nullptr, &p->io)) return;
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING || error == ERROR_MORE_DATA) return;
    p->reading = false;
    Drop(p);
}

// A device handle waits for the next output report without taking it.
void WaitForMessage(PipeInstance* p) {
    p->waiting = true;
    if (ReadFile(p->pipe, nullptr, 0, nullptr, &p->io)) return;
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING || error == ERROR_MORE_DATA) return;  // completes on the port
    p->waiting = false;
    Drop(p);
}

// A message has come on a device handle: taken, refused or left waiting
// (while the key takes no writes, or when a timed fault takes it later).
void TakeMessage(PipeInstance* p, bool mayHold = true) {
    Device& device = *p->device;
    if (!device.key.takingWrites()) {
        p->parked = true;
        return;
    }
    DWORD available = 0, messageLength = 0;
    if (!PeekNamedPipe(p->pipe, nullptr, 0, nullptr, &available, &messageLength)) {
        Drop(p);
    } else if (available == 0) {
        WaitForMessage(p);  // the client cancelled its write
    } else if (messageLength != device.key.config().outputReportLength) {
        ++device.refusedReports;
        Drop(p);  // fails the client's pending write
    } else if (!mayHold || !HoldsWrite(p)) {
        StartRead(p, messageLength);
    }
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
        WaitForMessage(p);
        TopUp(device);
    } else {
        StartRead(p, kControlBuffer);
        ListenControl();
    }
}

void OnOutputReport(PipeInstance* p, DWORD length) {
    Device& device = *p->device;
    if (!device.key.AcceptOutputReport(p->received.data(), length)) {
        if (!device.key.plugged()) Unplug(device);  // pulled out on this write
        return;
    }
    if (!HoldsReplies(device)) DeliverReplies(device);
}

void OnDeviceRead(PipeInstance* p, bool ok, DWORD length) {
    if (!ok) {  // the client closed its handle
        Drop(p);
        return;
    }
    OnOutputReport(p, length);
    if (!p->closed) WaitForMessage(p);
}

void OnMessageCame(PipeInstance* p, bool ok, DWORD error) {
    if (ok || error == ERROR_MORE_DATA) {
        TakeMessage(p);
    } else {
        Drop(p);  // the client closed its handle
    }
}

void OnControlRead(PipeInstance* p, bool ok, DWORD length, ControlHandler answer, bool& stop) {
    if (!ok) {
        Drop(p);
        return;
    }
    const std::string reply =
        answer(std::string(reinterpret_cast<const char*>(p->received.data()), length), stop);
    p->queue.emplace_back(reply.begin(), reply.end());
    SendNext(p);
}

void OnConnectDone(PipeInstance* p, bool connected) {
    if (connected) {
        OnConnected(p);
    } else {
        Retire(p);
    }
}

void OnRead(PipeInstance* p, bool ok, DWORD length, ControlHandler answer, bool& stop) {
    if (p->device) {
        OnDeviceRead(p, ok, length);
    } else {
        OnControlRead(p, ok, length, answer, stop);
    }
}

void OnSent(PipeInstance* p) {
    if (!p->device) {
        StartRead(p, kControlBuffer);  // the caller closes its end once it has the reply
    } else {
        SendNext(p);
    }
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

void KeepMemoryIn(Device& device, const std::string& path, vkey::KeyFileLock lock) {
    device.keyFileLock = std::move(lock);
    // The file holds what the cells hold, as a real key's memory does when
    // it is pulled out; a change that could not be saved is not made.
    device.key.SetCellStore([&device, path](const vkey::KeyContents& after) {
        std::string error;
        if (vkey::SaveKeyFile(path, after, error)) return true;
        std::fprintf(stderr, "virtualhid-server: %s; device %d refuses the write\n", error.c_str(),
                     device.id);
        std::fflush(stderr);
        return false;
    });
}

void Unplug(Device& device) {
    ForgetDevice(device);
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

std::vector<std::vector<std::uint8_t>> TakeReplies(Device& device) {
    std::vector<std::vector<std::uint8_t>> replies;
    std::vector<std::uint8_t> report(device.key.config().inputReportLength);
    for (int n = 0;
         n < kMaxRepliesPerReport && device.key.TakeInputReport(report.data(), report.size());
         ++n) {
        std::vector<std::uint8_t> delivered = report;
        if (device.shortReplies > 0) {
            --device.shortReplies;
            delivered.resize(std::min(device.shortLength, report.size()));
            if (!device.deliverShort) {
                ++device.droppedReports;  // as HID drops a report shorter than its length
                continue;
            }
        }
        replies.push_back(std::move(delivered));
    }
    return replies;
}

void HandOver(Device& device, const std::vector<std::uint8_t>& report) {
    for (PipeInstance* p : device.instances) {
        if (!p->connected) continue;
        if (p->queue.size() == vkey::kQueuedReports) p->queue.pop_front();  // as HID drops
        p->queue.push_back(report);
        SendNext(p);
    }
}

void DeliverReplies(Device& device) {
    for (const auto& report : TakeReplies(device)) HandOver(device, report);
}

void TakeHeldWrite(PipeInstance* p) {
    TakeMessage(p, false);
}

void ResumeWrites(Device& device) {
    // Taking a message may drop its handle, which leaves the list.
    std::vector<PipeInstance*> parked;
    for (PipeInstance* p : device.instances)
        if (p->parked) parked.push_back(p);
    for (PipeInstance* p : parked) {
        p->parked = false;
        TakeMessage(p);
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
    const bool ok = GetQueuedCompletionStatus(port, &length, &key, &overlapped, NextFaultDueIn());
    const DWORD error = ok ? 0 : GetLastError();
    if (!overlapped) {
        if (error != WAIT_TIMEOUT) return false;  // the port itself failed
        RunDueFaults();
        return true;
    }
    auto* p = reinterpret_cast<PipeInstance*>(key);
    bool stop = false;
    // A handler may retire the instance (a key that unplugs itself on a
    // write retires every instance of its device); it is freed below.
    p->serving = true;
    if (overlapped == &p->send) {
        p->sending = false;
        if (!p->closed) OnSent(p);
    } else if (p->connecting) {
        p->connecting = false;
        if (!p->closed) OnConnectDone(p, ok || error == ERROR_PIPE_CONNECTED);
    } else if (p->waiting) {
        p->waiting = false;
        if (!p->closed) OnMessageCame(p, ok, error);
    } else {
        p->reading = false;
        if (!p->closed) OnRead(p, ok, length, answer, stop);
    }
    p->serving = false;
    if (p->closed && Idle(*p)) delete p;
    RunDueFaults();  // those that fell due while it was served
    return !stop;
}

}  // namespace vhid
