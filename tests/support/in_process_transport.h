// The key link's transport seam served in-process by virtual keys: the
// devices are listed in enumeration order, and every frame on the wire,
// every read and every pause is recorded for the tests to assert on.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "virtual_key.h"

namespace inproc {

enum class WireEventKind : std::uint8_t {
    Discovery,      // one DiscoverKey; `found` tells the result
    Write,          // an output report the key took
    WriteFailed,    // an output report the key refused (unplugged, wrong length)
    WriteTimeout,   // an output report the key never took (simulated, no waiting)
    Read,           // an input report delivered
    ReadTimeout,    // no report within the read limit (simulated, no waiting)
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

int Count(WireEventKind kind);
// The frames the key took, in order, as the key decoded them.
std::vector<vkey::DecodedFrame> SentFrames();
// Opens of device handles, per device index, and how many are open now.
int OpenCount(int device);
int OpenHandles(int device);

}  // namespace inproc
