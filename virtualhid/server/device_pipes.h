// The virtual devices of the server and the named-pipe instances that carry
// their reports: each CreateFileA of a device path connects one instance,
// which is one open handle with an input-report queue of its own, as HID
// gives each handle. All of it runs on the server's one thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "key_file_lock.h"
#include "virtual_key.h"

namespace vhid {

struct Device;

// One pipe instance: listening, or connected to one client handle.
struct PipeInstance {
    OVERLAPPED io{};    // connect, then waits for a message and reads
    OVERLAPPED send{};  // writes of replies or input reports
    HANDLE pipe = INVALID_HANDLE_VALUE;
    Device* device = nullptr;  // null for the control channel
    bool connecting = false, connected = false, reading = false, sending = false;
    bool waiting = false;  // a device handle's zero-byte read: a message has come
    bool parked = false;   // a message is left untaken: the key takes no writes
    bool serving = false;  // its completion is being handled; freed only after
    bool closed = false;
    std::vector<std::uint8_t> received;
    std::deque<std::vector<std::uint8_t>> queue;  // input reports not yet read
    std::vector<std::uint8_t> inFlight;
};

struct Device {
    int id = 0;
    bool foreign = false;  // no firmware: takes reports, never answers
    bool plugged = true;
    std::string name;  // below \\.\pipe
    vkey::VirtualKey key;
    std::vector<PipeInstance*> instances;
    int opens = 0;           // handles ever opened
    int refusedReports = 0;  // output reports of the wrong length
    // Replies the key sends short of the input report, and their length.
    int shortReplies = 0;
    std::size_t shortLength = 0;
    bool deliverShort = false;  // hand them over instead of dropping them
    int droppedReports = 0;     // short input reports dropped, as HID drops them
    int foreignReplies = 0;     // foreign replies its timed faults sent
    // The lock of the file the key keeps its memory in between runs, when it
    // keeps one (KeepMemoryIn).
    vkey::KeyFileLock keyFileLock;
};

// The port every pipe instance completes on.
bool StartPipes();
HANDLE CompletionPort();

// Devices in enumeration order.
std::vector<std::unique_ptr<Device>>& Devices();
Device* FindDevice(int id);
Device* FindDeviceByName(const std::string& name);

Device* AddDevice(const std::string& instance, bool foreign, vkey::KeyContents contents,
                  vkey::DeviceConfig config);
void RemoveDevice(int id);
// The key keeps its memory in the file at `path`, whose lock it holds from
// now on: every write that changes a cell is saved before the key answers
// it, and a write whose save fails is refused (the cell keeps its old value,
// the echo differs) and the server's output says why.
void KeepMemoryIn(Device& device, const std::string& path, vkey::KeyFileLock lock);
void Unplug(Device& device);
void Replug(Device& device);
// Hands the replies the key queued to every open handle of the device.
void DeliverReplies(Device& device);
// The replies the key queued, as the driver would deliver them (short ones
// dropped unless the device hands them over); HandOver then gives one to
// every open handle of the device.
std::vector<std::vector<std::uint8_t>> TakeReplies(Device& device);
void HandOver(Device& device, const std::vector<std::uint8_t>& report);
// Takes the output report left waiting on `p` by a timed fault.
void TakeHeldWrite(PipeInstance* p);
// Takes the output reports left waiting while the key took none.
void ResumeWrites(Device& device);
// Handles open on the device now.
int OpenHandles(const Device& device);

// The control channel: listening instances on the control pipe.
bool ListenForControl(const std::string& instance);

// One completion from the port; `answer` turns a control request into its
// reply. False when the server should stop.
using ControlHandler = std::string (*)(const std::string& request, bool& stop);
bool ServeOneCompletion(ControlHandler answer);

}  // namespace vhid
