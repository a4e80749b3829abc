// Virtual keys and foreign devices on fake /dev/hidraw nodes, with their
// sysfs entries, for processes run under umockdev's preload library
// (LD_PRELOAD=libumockdev-preload.so.0): this process once the testbed has
// started, and its children.
//
// umockdev redirects /sys and /dev into a directory of its own (UMOCKDEV_DIR)
// and backs each node with a pty. Every read and write a client makes on a
// node is passed to this testbed, which answers it as hidraw does: a write
// takes one output report (report ID 0 first), a read gives one input report
// without the ID byte, or fails with EAGAIN when none is queued. The pty
// carries one byte per queued report, so that poll() on the node wakes when
// a report is there. A pulled device hangs the pty up (poll gives
// POLLHUP | POLLERR), its sysfs entries and node go, reads fail with EIO and
// writes with ENODEV. ioctl() on a node answers HIDIOCGRAWINFO,
// HIDIOCGRDESCSIZE and HIDIOCGRDESC as hidraw does (ENODEV once the device is
// pulled), and fails any other with ENOTTY. Each device plugged in is the
// next HID device the kernel adds: its sysfs name (0003:VVVV:PPPP.NNNN)
// counts the devices plugged in so far. A device
// plugged in or pulled out is announced to udev's listeners ("add",
// "remove").
//
// The devices are served on a thread of the testbed's own; the functions here
// may be called from any other thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device_options.h"
#include "virtual_key.h"

namespace vhidraw {

enum class EventKind : std::uint8_t { Open, Write, Read };

struct Event {
    int device;
    EventKind kind;
    long result;                      // bytes moved, or -errno
    std::vector<std::uint8_t> bytes;  // Write: what was written; Read: what was delivered
};

// Creates the testbed (and sets UMOCKDEV_DIR) and starts serving.
bool StartTestbed(std::string& error);

// Removes every device and the testbed.
void StopTestbed();

// Adds the device as hidraw<N>, N counting from 0 in the order of the calls
// (or options.node, a number a device pulled out before it plugs in left).
// A key with a file loads its memory from it, or with `new` writes it. A
// device with plugAfterMs is attached only that long after PlugLater();
// others at once. Returns N, or -1 with `error`.
int AddDevice(const DeviceOptions& options, std::string& error);

// Starts the clocks of the devices that plug in later.
void PlugLater();

// Pulls the device out, at once or `afterMs` from now.
void Unplug(int device, int afterMs = 0);

// How many devices were added.
int DeviceCount();

// Attaches the device now when it is not attached: one that waits to be
// plugged in later, or one pulled out, which comes back as a new connection
// with the memory it had, at its number and under the next HID device's
// name. False with `error` for a device that is not there.
bool PlugNow(int device, std::string& error);

// Changes the key model of device N (a fault from now on); false when
// device N is no key.
bool WithKey(int device, void (*change)(vkey::VirtualKey& key));

// Whether the device is attached now.
bool Plugged(int device);

// Every open, write and read on every node so far.
std::vector<Event> Events();

// One line per event: "hidraw1 open", "hidraw1 write 65", "hidraw1 read EAGAIN".
std::string EventLines();

// One line per key: "hidraw1 <118 hex digits>".
std::string CellLines();

// The root of the testbed's fake sysfs and /dev.
std::string TestbedRoot();

}  // namespace vhidraw
