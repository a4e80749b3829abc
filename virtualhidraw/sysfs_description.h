// What a virtual device looks like in sysfs, as the kernel shows a USB HID
// device: the HID device (its uevent with HID_ID, its report_descriptor) and
// the hidraw class device beneath it with its node /dev/hidraw<N>. Written in
// umockdev's device description format, without the node itself: umockdev
// makes a node of a name only once, and a number a pulled device left is
// given again, so the testbed makes the nodes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device_options.h"

namespace vhidraw {

struct SysfsDevice {
    std::string description;    // umockdev's text: the hidraw device, then its HID parent
    std::string hidrawSyspath;  // /sys/devices/...
    std::string hidSyspath;
    std::string node;  // /dev/hidraw<N>
};

// The device as hidraw<number>, on USB port `port`, the `sequence`-th HID
// device the kernel added (its name 0003:VVVV:PPPP.<sequence>, new for each
// device added). A foreign device with sysfsShowsKey is described as a key.
SysfsDevice DescribeDevice(const DeviceOptions& options, int number, int port, unsigned sequence);

// The report descriptor the device declares: vendor-defined reports of the
// options's lengths for a key (cut short for descriptor=unparsable), a boot
// mouse's for a foreign device.
std::vector<std::uint8_t> ReportDescriptorOf(const DeviceOptions& options);

}  // namespace vhidraw
