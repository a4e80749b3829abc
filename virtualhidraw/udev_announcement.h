// Announcing a device that came or went to udev's listeners in the
// testbed's processes, as udevd does on a real system: a browser's HID
// service learns of a device plugged in or pulled out only so.
//
// umockdev passes a listener's netlink socket to a socket of its own in the
// testbed's folder (event<N>); the message each one gets is the one udevd
// sends: libudev's header, then the device's properties. (umockdev's own
// umockdev_testbed_uevent reads the device through libudev in this process,
// which sees the testbed's sysfs only under the preload.)
#pragma once

#include <string>

namespace vhidraw {

struct Announcement {
    std::string action;     // "add" or "remove"
    std::string syspath;    // /sys/devices/...
    std::string subsystem;  // "hidraw"
    std::string devname;    // hidraw<N>, under /dev
};

// Sends the announcement to every listener in the testbed at `root`.
void Announce(const std::string& root, const Announcement& announcement);

}  // namespace vhidraw
