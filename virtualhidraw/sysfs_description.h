// What a virtual device looks like in sysfs, as the kernel shows a USB HID
// device: the HID device (its uevent with HID_ID, its report_descriptor) and
// the hidraw class device beneath it with its node /dev/hidraw<N>. Written in
// umockdev's device description format.
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

SysfsDevice DescribeDevice(const DeviceOptions& options, int index);

}  // namespace vhidraw
