// The sysfs entries of a virtual device and its report descriptor.
#include "sysfs_description.h"

#include <cstdio>

#include "key_file.h"

namespace vhidraw {

namespace {

constexpr unsigned kHidrawMajor = 247;

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& bytes, std::initializer_list<std::uint8_t> items) {
    bytes.insert(bytes.end(), items);
}

// A vendor-defined report of `bytes` bytes: 8-bit fields, Report Count in
// one or two bytes of data.
void AppendReport(Bytes& descriptor, std::uint8_t mainItem, std::uint16_t bytes) {
    Append(descriptor, {0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08});
    if (bytes <= 0xFF)
        Append(descriptor, {0x95, static_cast<std::uint8_t>(bytes)});
    else
        Append(descriptor,
               {0x96, static_cast<std::uint8_t>(bytes), static_cast<std::uint8_t>(bytes >> 8)});
    Append(descriptor, {mainItem, 0x02});
}

std::string DescriptorInHex(const DeviceOptions& options) {
    const Bytes descriptor = ReportDescriptorOf(options);
    return vkey::Hex(descriptor.data(), descriptor.size());
}

}  // namespace

Bytes ReportDescriptorOf(const DeviceOptions& options) {
    if (options.kind == DeviceKind::Foreign) {
        // Three buttons and X, Y: a 3-byte input report.
        return {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
                0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
                0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15,
                0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};
    }
    Bytes descriptor{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    if (options.inputLength > 0) AppendReport(descriptor, 0x81, options.inputLength - 1);
    if (options.outputLength > 0) AppendReport(descriptor, 0x91, options.outputLength - 1);
    descriptor.push_back(0xC0);
    // A Logical Maximum whose second byte of data never comes.
    if (options.unparsableDescriptor) Append(descriptor, {0x26, 0xFF});
    return descriptor;
}

SysfsDevice DescribeDevice(const DeviceOptions& plugged, int number, int port, unsigned sequence) {
    // What sysfs shows: the device itself, or the key whose number it took.
    const DeviceOptions options = plugged.sysfsShowsKey ? DeviceOptions{} : plugged;
    char hidName[32];
    std::snprintf(hidName, sizeof hidName, "0003:%04X:%04X.%04X", options.vendor, options.product,
                  sequence);
    const std::string usbPort = std::to_string(port);
    const std::string usbInterface =
        "/devices/pci0000:00/0000:00:14.0/usb1/1-" + usbPort + "/1-" + usbPort + ":1.0/";
    const std::string name = "hidraw" + std::to_string(number);
    SysfsDevice device;
    const std::string hidPath = usbInterface + hidName;
    const std::string hidrawPath = hidPath + "/hidraw/" + name;
    device.hidSyspath = "/sys" + hidPath;
    device.hidrawSyspath = "/sys" + hidrawPath;
    device.node = "/dev/" + name;

    char ids[64];
    std::snprintf(ids, sizeof ids, "%08X:%08X", options.vendor, options.product);
    const std::string minor = std::to_string(number);
    device.description =
        "P: " + hidrawPath + "\nE: SUBSYSTEM=hidraw\nE: MAJOR=" + std::to_string(kHidrawMajor) +
        "\nE: MINOR=" + minor + "\nE: DEVNAME=" + name +
        "\nA: dev=" + std::to_string(kHidrawMajor) + ":" + minor + "\nL: device=../../../" +
        hidName + "\n\nP: " + hidPath +
        "\nE: SUBSYSTEM=hid\nE: DRIVER=hid-generic\nE: HID_ID=0003:" + ids +
        "\nE: HID_NAME=Virtual HID device\nE: HID_PHYS=usb-0000:00:14.0-" + usbPort +
        "/input0\nE: MODALIAS=hid:b0003g0001v" + std::string(ids, 8) + "p" +
        std::string(ids + 9, 8) + "\nH: report_descriptor=" + DescriptorInHex(options) + "\n";
    return device;
}

}  // namespace vhidraw
