// udevd's message to a device's listeners, sent to umockdev's sockets.
#include "udev_announcement.h"

#include <arpa/inet.h>
#include <glob.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace vhidraw {

namespace {

constexpr std::uint32_t kMonitorMagic = 0xFEEDCAFE;

// libudev's header of a message from udevd. A listener that asks for one
// subsystem only gets a socket filter in the kernel (umockdev's sockets take
// it too) that compares the subsystem's hash.
struct MonitorHeader {
    std::array<char, 8> prefix{'l', 'i', 'b', 'u', 'd', 'e', 'v', '\0'};
    std::uint32_t magic = htonl(kMonitorMagic);
    std::uint32_t headerSize = sizeof(MonitorHeader);
    std::uint32_t propertiesOffset = sizeof(MonitorHeader);
    std::uint32_t propertiesLength = 0;
    std::uint32_t subsystemHash = 0;
    std::uint32_t devtypeHash = 0;
    std::uint32_t tagBloomHigh = 0;
    std::uint32_t tagBloomLow = 0;
};

unsigned long sequence = 0;

// MurmurHash2 (Austin Appleby's, seed 0), the hash of libudev's filter.
std::uint32_t FilterHash(const std::string& text) {
    constexpr std::uint32_t kMultiplier = 0x5BD1E995;
    std::uint32_t hash = static_cast<std::uint32_t>(text.size());
    std::size_t at = 0;
    for (; at + 4 <= text.size(); at += 4) {
        std::uint32_t word = 0;
        std::memcpy(&word, text.data() + at, 4);
        word *= kMultiplier;
        word ^= word >> 24;
        word *= kMultiplier;
        hash = hash * kMultiplier ^ word;
    }
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
    switch (text.size() - at) {
        case 3:
            hash ^= static_cast<std::uint32_t>(byte(2)) << 16;
            [[fallthrough]];
        case 2:
            hash ^= static_cast<std::uint32_t>(byte(1)) << 8;
            [[fallthrough]];
        case 1:
            hash ^= byte(0);
            hash *= kMultiplier;
    }
    hash ^= hash >> 13;
    hash *= kMultiplier;
    hash ^= hash >> 15;
    return hash;
}

void AddProperty(std::string& properties, const std::string& name, const std::string& value) {
    properties += name + "=" + value;
    properties += '\0';
}

void SendTo(const std::string& path, const MonitorHeader& header, const std::string& properties) {
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    std::array<iovec, 2> parts{{{const_cast<MonitorHeader*>(&header), sizeof header},
                                {const_cast<char*>(properties.data()), properties.size()}}};
    msghdr message{};
    message.msg_name = &address;
    message.msg_namelen = sizeof address;
    message.msg_iov = parts.data();
    message.msg_iovlen = parts.size();
    sendmsg(fd, &message, MSG_DONTWAIT | MSG_NOSIGNAL);
    close(fd);
}

}  // namespace

void Announce(const std::string& root, const Announcement& announcement) {
    std::string properties;
    AddProperty(properties, "ACTION", announcement.action);
    AddProperty(properties, "DEVPATH", announcement.syspath.substr(std::strlen("/sys")));
    AddProperty(properties, "SUBSYSTEM", announcement.subsystem);
    AddProperty(properties, "DEVNAME", announcement.devname);
    AddProperty(properties, "SEQNUM", std::to_string(++sequence));
    MonitorHeader header;
    header.propertiesLength = static_cast<std::uint32_t>(properties.size());
    header.subsystemHash = htonl(FilterHash(announcement.subsystem));
    glob_t found{};
    if (glob((root + "/event[0-9]*").c_str(), 0, nullptr, &found) == 0)
        for (std::size_t i = 0; i < found.gl_pathc; ++i)
            SendTo(found.gl_pathv[i], header, properties);
    globfree(&found);
}

}  // namespace vhidraw
