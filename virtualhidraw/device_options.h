// The devices virtual-hidraw attaches, as its command line describes them.
//
//   virtual-hidraw [DEVICE...] [--cells FILE] [--log FILE] [--control FIFO] -- COMMAND [ARG...]
//   DEVICE:
//   --key [serial=HEX8] [key-password=T login-id=T login-password=T] [file=PATH [new]]
//         [input=N output=N] [descriptor=unparsable] [mode=OCTAL] [node=N]
//         [plug-after-ms=N] [unplug-after=N] [silent-after=N] [short-reply-after=N] [held]
//         [write-delay-ms=N] [wakes-without-reports]
//   --foreign [vendor=HEX] [product=HEX] [node=N] [plug-after-ms=N] [sysfs=key]
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "virtual_key.h"

namespace vhidraw {

enum class DeviceKind : std::uint8_t { Key, Foreign };

inline constexpr int kNever = -1;

struct DeviceOptions {
    DeviceKind kind = DeviceKind::Key;
    std::uint16_t vendor = vkey::kVendorId;
    std::uint16_t product = vkey::kProductId;
    // A key's memory at the start: factory-initial, or provisioned from the
    // texts; with a file, loaded from it (or written to it, `new`) when the
    // key is attached, and saved to it after every change of a cell.
    vkey::KeyContents contents = vkey::FactoryInitialContents({1, 2, 3, 4});
    std::string keyFile;
    bool newKeyFile = false;
    // Report lengths as the program counts them, the report-ID byte included:
    // the descriptor declares one byte less. 0: no report of that direction.
    std::uint16_t inputLength = 65;
    std::uint16_t outputLength = 65;
    bool unparsableDescriptor = false;
    unsigned mode = 0666;  // the node's permissions
    // The node's number: its place in the list, or this one (a number a
    // device pulled out before it plugs in has left, as the kernel gives the
    // lowest free number).
    int node = kNever;
    int plugAfterMs = 0;  // attached this long after COMMAND starts
    // Faults that strike after this many more output reports (kNever: none).
    int unplugAfter = kNever;
    int silentAfter = kNever;
    int shortReplyAfter = kNever;
    bool held = false;  // virtual-hidraw holds the node's flock for the whole run
    // Each write returns only this long after it was made, though the key has
    // the report at once: usbhid's synchronous write to a key slow to take it.
    int writeDelayMs = 0;
    // poll() always finds the node readable, and a read with no report queued
    // fails with EAGAIN: a wake without data, again and again.
    bool wakesWithoutReports = false;
    // A foreign device whose sysfs entries still show a key (its IDs, its
    // descriptor): the node a program opens after it looked in sysfs, when the
    // key was pulled out and this device took its number in between.
    bool sysfsShowsKey = false;
};

struct Invocation {
    std::vector<DeviceOptions> devices;  // hidraw0, hidraw1, ... in this order
    std::string cellsFile;
    std::string logFile;
    std::string controlFifo;  // plug_control.h
    std::vector<std::string> command;
};

// Reads the arguments after the program's name. False with `error` saying
// which word is wrong.
bool ParseInvocation(const std::vector<std::string>& arguments, Invocation& invocation,
                     std::string& error);

extern const char* const kUsage;

}  // namespace vhidraw
