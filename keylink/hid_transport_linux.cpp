// The key link's transport on Linux: discovery among the hidraw nodes,
// through sysfs and in the order of their numbers, and the key's reports on
// its node.
//
// A key is known by its HID device's uevent (HID_ID: bus, vendor, product),
// so that no other device's node is ever opened; its report lengths come from
// the report descriptor sysfs keeps beside it. A node can be renumbered
// between that look and the open (the key pulled out, another device given
// its number), so the opened node itself is asked who it is (HIDIOCGRAWINFO)
// before anything is written to it, and one that is not what sysfs showed is
// closed untouched. The key's node is opened once, non-blocking, and held
// with an exclusive flock until CloseKey or the next discovery, so that two
// copies of a program never interleave their exchanges on one key. Every
// wait is a poll() of at most the time given.
//
// A write is not bounded by the limit: usbhid writes an output report
// synchronously, and a key that stops taking them keeps the write waiting in
// the kernel (about 5 s) whatever poll() said; hidraw cannot cancel it. A
// write that comes back after its limit is taken as not taken in time.
//
// For a device without numbered reports a hidraw write starts with report
// ID 0, which the frame's byte 0 already is, but a read gives the report
// without it. The framing's buffers keep one layout on every platform (byte
// 0 the report ID, the input report length counting it, as on Windows), so a
// read lands at inputReport[1] and byte 0 is put back.
#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <thread>

#include "key_link.h"
#include "key_transport.h"
#include "monotonic_clock.h"
#include "report_descriptor.h"

namespace {

constexpr char kHidrawClass[] = "/sys/class/hidraw/";
constexpr char kNodeDirectory[] = "/dev/";
constexpr std::size_t kMaxDescriptorBytes = 4096;  // the HID core's limit
constexpr std::size_t kMaxUeventBytes = 4096;

int keyFd = -1;  // the key's node, flocked; -1 when none is open

struct Named {
    unsigned number;
    std::string name;  // hidraw<number>
};

// The hidraw class devices, by number.
std::vector<Named> HidrawDevices() {
    std::vector<Named> devices;
    DIR* directory = opendir(kHidrawClass);
    if (!directory) return devices;
    while (const dirent* entry = readdir(directory)) {
        unsigned number = 0;
        int used = 0;
        if (std::sscanf(entry->d_name, "hidraw%u%n", &number, &used) == 1 &&
            entry->d_name[used] == '\0')
            devices.push_back({number, entry->d_name});
    }
    closedir(directory);
    std::sort(devices.begin(), devices.end(),
              [](const Named& a, const Named& b) { return a.number < b.number; });
    return devices;
}

// A sysfs file of the device, up to `limit` bytes; false when it cannot be read.
bool ReadDeviceFile(const std::string& name, const char* file, std::size_t limit,
                    std::vector<std::uint8_t>& bytes) {
    const std::string path = kHidrawClass + name + "/device/" + file;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bytes.resize(limit);
    std::size_t size = 0;
    ssize_t got = 0;
    while (size < limit && (got = read(fd, bytes.data() + size, limit - size)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        size += static_cast<std::size_t>(got);
    }
    close(fd);
    bytes.resize(size);
    return got >= 0;
}

// What the HID core calls a device: bus, vendor and product.
struct HidId {
    unsigned bus = 0, vendor = 0, product = 0;
    bool operator==(const HidId&) const = default;
};

// The HID_ID of the HID device behind the node, from its uevent; false when
// it cannot be read.
bool ReadHidId(const std::string& name, HidId& id) {
    std::vector<std::uint8_t> uevent;
    if (!ReadDeviceFile(name, "uevent", kMaxUeventBytes, uevent)) return false;
    const std::string_view text(reinterpret_cast<const char*>(uevent.data()), uevent.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line(text.substr(at, end - at));
        if (std::sscanf(line.c_str(), "HID_ID=%x:%x:%x", &id.bus, &id.vendor, &id.product) == 3)
            return true;
        at = end + 1;
    }
    return false;
}

bool IsKeyId(const HidId& id) {
    return id.vendor == kKeyVendorId && id.product == ProfileProductId();
}

// Whether the HID device behind the node has the key's vendor and product ID.
bool IsWantedKey(const std::string& name) {
    HidId id;
    return ReadHidId(name, id) && IsKeyId(id);
}

// Whether the opened node is the device sysfs showed: the same bus, vendor
// and product, as the node itself tells.
bool NodeIs(int fd, const HidId& shown) {
    hidraw_devinfo info{};
    if (ioctl(fd, HIDIOCGRAWINFO, &info) != 0) return false;
    return HidId{info.bustype, static_cast<std::uint16_t>(info.vendor),
                 static_cast<std::uint16_t>(info.product)} == shown;
}

// The name of the HID device behind the node, new for each device the
// kernel adds: the basename of the class device's `device` link. "" when the
// node is gone.
std::string ConnectionOf(const std::string& name) {
    const std::string link = kHidrawClass + name + "/device";
    std::array<char, 512> target{};
    const ssize_t got = readlink(link.c_str(), target.data(), target.size() - 1);
    if (got <= 0) return "";
    const std::string_view path(target.data(), static_cast<std::size_t>(got));
    return std::string(path.substr(path.rfind('/') + 1));
}

// The report lengths the framing gets; false when the descriptor cannot be
// read or parsed, numbers its reports (the frame's byte 0 is report ID 0), or
// declares reports too short for the framing.
bool ReadReportLengths(const std::string& name, std::uint16_t& input, std::uint16_t& output) {
    std::vector<std::uint8_t> descriptor;
    if (!ReadDeviceFile(name, "report_descriptor", kMaxDescriptorBytes, descriptor)) return false;
    const ReportLayout layout = ParseReportDescriptor(descriptor);
    input = layout.inputLength;
    output = layout.outputLength;
    return layout.error == DescriptorError::None && !layout.numbered &&
           ReportLengthsUsable(input, output);
}

void CloseNode() {
    if (keyFd < 0) return;
    close(keyFd);  // and with it the flock
    keyFd = -1;
}

// Opens and locks the key's node, once the node has shown itself to be the
// device sysfs showed; None when it is the link's now.
DiscoveryFailure TakeKey(const std::string& name, const HidId& shown) {
    std::uint16_t input = 0, output = 0;
    if (!ReadReportLengths(name, input, output)) return DiscoveryFailure::Unusable;
    const std::string path = kNodeDirectory + name;
    // O_NOCTTY changes nothing on hidraw; a node that is a terminal (the
    // virtual key's are ptys) must not become this process's.
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM) return DiscoveryFailure::PermissionDenied;
        return DiscoveryFailure::NoKey;  // pulled out meanwhile
    }
    if (!NodeIs(fd, shown)) {
        close(fd);  // renumbered meanwhile: another device's node
        return DiscoveryFailure::NoKey;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        close(fd);
        return held ? DiscoveryFailure::InUse : DiscoveryFailure::Unusable;
    }
    keyFd = fd;
    SizeReportBuffers(input, output);
    return DiscoveryFailure::None;
}

// Waits until the key's node is ready for `events`, at most until `deadline`
// on the monotonic clock. False when the deadline passed first, or the key
// was pulled out.
bool WaitUntil(short events, std::uint64_t deadline) {
    for (;;) {
        const std::uint64_t now = MonotonicMilliseconds();
        if (now > deadline) return false;
        pollfd node{keyFd, events, 0};
        const int ready = poll(&node, 1, static_cast<int>(deadline - now));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (node.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
        if (node.revents & events) return true;
    }
}

}  // namespace

int DiscoverKey() {
    // This process's own lock must not make its own key look in use.
    CloseNode();
    keyLink.discoveryFailure = DiscoveryFailure::NoKey;
    SetFailedPath("");
    for (const Named& device : HidrawDevices()) {
        const std::string path = kNodeDirectory + device.name;
        HidId shown;
        if (!IsChosenKeyPath(path.c_str()) || !ReadHidId(device.name, shown) || !IsKeyId(shown))
            continue;
        const DiscoveryFailure why = TakeKey(device.name, shown);
        if (why == DiscoveryFailure::None) {
            keyLink.discoveryFailure = DiscoveryFailure::None;
            SetFailedPath("");
            return 1;
        }
        if (why != DiscoveryFailure::NoKey) {
            keyLink.discoveryFailure = why;
            SetFailedPath(path);
        }
    }
    return 0;
}

void ForEachKeyPath(KeyPathVisitor visit, void* context) {
    for (const Named& device : HidrawDevices())
        if (IsWantedKey(device.name)) visit((kNodeDirectory + device.name).c_str(), context);
}

void ForEachKeyConnection(KeyConnectionVisitor visit, void* context) {
    for (const Named& device : HidrawDevices()) {
        if (!IsWantedKey(device.name)) continue;
        const std::string connection = ConnectionOf(device.name);
        if (!connection.empty())
            visit((kNodeDirectory + device.name).c_str(), connection.c_str(), context);
    }
}

void CloseKey() {
    CloseNode();
    keyLink.linkState = 0;
    keyLink.openedFlag = 0;
}

std::int32_t SendReport(std::uint32_t limitMs) {
    const std::size_t length = keyLink.outputReportLength;
    const std::uint64_t deadline = MonotonicMilliseconds() + limitMs;
    ssize_t written = -1;
    if (keyFd >= 0 && WaitUntil(POLLOUT, deadline)) {
        do written = write(keyFd, keyLink.outputReport.data(), length);
        while (written < 0 && errno == EINTR);
    }
    // A write the kernel held past the limit was not taken in time, even
    // when the key took it in the end.
    if (written != static_cast<ssize_t>(length) || MonotonicMilliseconds() > deadline)
        keyLink.linkState = 0;
    return keyLink.linkState;
}

std::int32_t ReceiveReport(std::uint32_t limitMs) {
    const std::uint64_t deadline = MonotonicMilliseconds() + limitMs;
    while (keyFd >= 0 && WaitUntil(POLLIN, deadline)) {
        // The report without its ID byte, after the ID byte.
        const std::size_t length = keyLink.inputReportLength - 1u;
        const ssize_t got = read(keyFd, keyLink.inputReport.data() + 1, length);
        if (got == static_cast<ssize_t>(length)) {
            keyLink.inputReport[0] = 0;
            return keyLink.linkState;
        }
        // Woken with nothing to read: wait on. A failed read (the key was
        // pulled out) or a short report is no reply.
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        break;
    }
    keyLink.linkState = 0;
    return 0;
}

void PauseBetweenReads() {
    std::this_thread::sleep_for(std::chrono::milliseconds(kPauseBetweenReadsMs));
}
