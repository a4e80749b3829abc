// A small client of the Linux transport, for tests that need another process
// on the key (another user, another copy of the tool) and for the tests of
// virtual-hidraw itself. One line of output; exit 0 when the key answered.
//
//   hidraw_probe discover          found | failed <why> <path>
//   hidraw_probe list              the key paths, one per line
//   hidraw_probe connections       the key paths and their connections, one per line
//   hidraw_probe hold MS           takes the key, says "holding", keeps it MS ms
//   hidraw_probe serial            the serial number in hex | no reply | failed ...
//   hidraw_probe read-cell N       the cell's value in hex | no reply | failed ...
//   hidraw_probe write-cell N V    the key's echo in hex | no reply | failed ...
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "key_link.h"
#include "key_transport.h"

namespace {

const char* NameOf(DiscoveryFailure why) {
    switch (why) {
        case DiscoveryFailure::None:
            return "None";
        case DiscoveryFailure::NoKey:
            return "NoKey";
        case DiscoveryFailure::PermissionDenied:
            return "PermissionDenied";
        case DiscoveryFailure::InUse:
            return "InUse";
        case DiscoveryFailure::Unusable:
            return "Unusable";
    }
    return "?";
}

int Answer(std::uint8_t value) {
    if (LastExchangeFailed()) {
        std::puts("no reply");
        return 1;
    }
    std::printf("%02x\n", value);
    return 0;
}

// Opens the key; says why not when it cannot.
bool Open() {
    if (OpenKey(8) != 0) return true;
    std::printf("failed %s %s\n", NameOf(keyLink.discoveryFailure), keyLink.failedPath.data());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    const auto number = [&](int i) { return argc > i ? std::strtoul(argv[i], nullptr, 0) : 0; };
    if (command == "discover") {
        if (!Open()) return 1;
        std::puts("found");
        return 0;
    }
    if (command == "list") {
        for (const std::string& path : ListKeyPaths()) std::puts(path.c_str());
        return 0;
    }
    if (command == "connections") {
        for (const KeyConnection& key : ListKeyConnections())
            std::printf("%s %s\n", key.path.c_str(), key.connection.c_str());
        return 0;
    }
    if (command == "hold") {
        if (!Open()) return 1;
        std::puts("holding");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(number(2)));
        CloseKey();
        return 0;
    }
    if (command == "serial") {
        if (!Open()) return 1;
        std::array<std::uint8_t, 4> serial{};
        for (std::uint8_t n = 1; n <= 4 && !LastExchangeFailed(); ++n)
            serial[n - 1] = ReadSerialByte(n);
        CloseKey();
        if (LastExchangeFailed()) return Answer(0);
        std::printf("%02x%02x%02x%02x\n", serial[0], serial[1], serial[2], serial[3]);
        return 0;
    }
    if (command == "read-cell" || command == "write-cell") {
        if (!Open()) return 1;
        const auto address = static_cast<std::uint8_t>(number(2));
        const std::uint8_t value = command == "read-cell"
                                       ? ReadCell(address)
                                       : WriteCell(address, static_cast<std::uint8_t>(number(3)));
        const int status = Answer(value);
        CloseKey();
        return status;
    }
    std::fprintf(stderr,
                 "usage: hidraw_probe discover|list|connections|hold MS|serial|read-cell N|"
                 "write-cell N V\n");
    return 2;
}
