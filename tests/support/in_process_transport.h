// The key link's transport seam served in-process by virtual keys: the
// devices are listed in enumeration order, and every frame on the wire,
// every read and every pause is recorded for the tests to assert on. Waits
// are played out on the fake clock (fake_clock.h): a timeout moves it by the
// limit the transport was given, a reply that comes late by its delay, a
// pause by its length; nothing waits for real but SetLatency.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "key_link.h"
#include "virtual_key.h"

namespace inproc {

enum class WireEventKind : std::uint8_t {
    Discovery,      // one DiscoverKey; `found` tells the result
    Write,          // an output report the key took
    WriteFailed,    // an output report the key refused (unplugged, wrong length)
    WriteTimeout,   // an output report the key did not take within the limit
    Read,           // an input report delivered
    ReadTimeout,    // no report within the limit
    ReadFailed,     // the device is gone
    ReadUntouched,  // a read that reported success but delivered nothing
    Pause,          // the pause between two reads
};

struct WireEvent {
    WireEventKind kind;
    int device = -1;                   // index in Devices(), -1 for none
    bool found = false;                // Discovery
    std::vector<std::uint8_t> report;  // Write, WriteFailed, Read: the bytes on the wire
    vkey::DecodedFrame frame;          // Write, WriteFailed: the frame as the key reads it
    std::uint32_t limitMs = 0;         // writes and reads: the longest the transport was to wait
    std::uint64_t endedAt = 0;         // the fake clock when the event was over
};

// The attached devices, first enumerated first. Reset() empties it.
std::vector<vkey::VirtualKey>& Devices();

// Clears devices, events, options and the key link's own state.
void Reset();

const std::vector<WireEvent>& Events();
void ClearEvents();
// Recording allocates; a test of allocations switches it off.
void SetRecording(bool on);
// Added to every round trip (spent in ReceiveReport), for benchmarks.
void SetLatency(std::chrono::microseconds latency);
// The next `count` reads report success but leave the input report as it
// was; the key's reply stays queued for the read after.
void SetUntouchedReads(int count);
// How long after its start each read gets its input report, one delay per
// read in turn; reads after the last delay get theirs at once. A report that
// would come after the read's limit is not read (the read times out) and
// stays queued.
void QueueReadDelays(std::vector<std::uint32_t> delaysMs);
// How long the key takes to take each output report; one that takes longer
// than the write's limit is not taken (the write times out).
void SetWriteDelay(std::uint32_t delayMs);
// Discovery finds the device but cannot open it, as the platform would
// refuse it (DiscoveryFailure::PermissionDenied or InUse); None again allows it.
void RefuseOpening(int device, DiscoveryFailure why);
// The path ListKeyPaths() gives the device at `index`.
std::string PathOf(int device);
// Pulls the device at `device` out and plugs `key` in at its place (its
// path), as a new connection: handles opened before fail from now on, as a
// pulled key's do, even when `key` is the same key plugged back.
void PlugInAt(int device, vkey::VirtualKey key);
// The connection ListKeyConnections() gives it now: its path, the
// attachment's number (VirtualKey::connection) and how often a key was put
// at its place (PlugInAt): new when the key is plugged back in or another
// key put in its place.
std::string ConnectionOf(int device);
// Called before each output report is sent: a test acts there between two
// exchanges (pulls a key, puts another at its place).
void BeforeEachWrite(std::function<void()> act);

int Count(WireEventKind kind);
// The frames the key took, in order, as the key decoded them.
std::vector<vkey::DecodedFrame> SentFrames();
// Opens of device handles, per device index, and how many are open now.
int OpenCount(int device);
int OpenHandles(int device);

}  // namespace inproc
