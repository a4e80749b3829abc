// The control channel: commands from a FIFO, carried out on the testbed.
#include "plug_control.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string_view>
#include <thread>

#include "testbed.h"

namespace vhidraw {

namespace {

using Action = bool (*)(int device, std::string& error);

struct ControlCommand {
    std::string_view name;
    Action action;
};

bool KeyOnly(bool isKey, int device, std::string& error) {
    if (!isKey) error = "virtual-hidraw: device " + std::to_string(device) + " is no key";
    return isKey;
}

constexpr std::array kCommands{
    ControlCommand{"plug", [](int device, std::string& error) { return PlugNow(device, error); }},
    ControlCommand{"unplug",
                   [](int device, std::string& error) {
                       if (device >= DeviceCount()) {
                           error = "virtual-hidraw: no device " + std::to_string(device);
                           return false;
                       }
                       Unplug(device);
                       return true;
                   }},
    ControlCommand{"silent",
                   [](int device, std::string& error) {
                       return KeyOnly(
                           WithKey(device, [](vkey::VirtualKey& key) { key.SetSilent(true); }),
                           device, error);
                   }},
    ControlCommand{"refuse-writes",
                   [](int device, std::string& error) {
                       return KeyOnly(
                           WithKey(device,
                                   [](vkey::VirtualKey& key) { key.RefuseAllWrites(true); }),
                           device, error);
                   }},
};

void Append(const std::string& path, const std::string& line) {
    std::ofstream done(path, std::ios::app);
    done << line << '\n';
}

void Serve(std::string fifo) {
    const std::string done = fifo + ".done";
    for (;;) {
        // Blocks until a writer opens it; reads its lines until it closes.
        std::ifstream commands(fifo);
        if (!commands) return;
        std::string line;
        while (std::getline(commands, line)) {
            if (line.empty()) continue;
            std::string error;
            if (RunControlCommand(line, error)) {
                Append(done, line);
            } else {
                std::fprintf(stderr, "%s\n", error.c_str());
                Append(done, "refused: " + line);
            }
        }
    }
}

}  // namespace

bool RunControlCommand(const std::string& line, std::string& error) {
    const std::size_t space = line.find(' ');
    const std::string_view name = std::string_view(line).substr(0, space);
    const std::string_view number =
        space == std::string::npos ? std::string_view{} : std::string_view(line).substr(space + 1);
    int device = -1;
    const char* end = number.data() + number.size();
    if (number.empty() || std::from_chars(number.data(), end, device).ptr != end || device < 0) {
        error = "virtual-hidraw: control: " + line + ": not understood";
        return false;
    }
    for (const ControlCommand& command : kCommands)
        if (command.name == name) return command.action(device, error);
    error = "virtual-hidraw: control: " + line + ": not understood";
    return false;
}

bool ServeControl(const std::string& fifo, std::string& error) {
    unlink(fifo.c_str());
    if (mkfifo(fifo.c_str(), 0600) != 0) {
        error = "virtual-hidraw: cannot make " + fifo + ": " + std::strerror(errno);
        return false;
    }
    std::thread(Serve, fifo).detach();
    return true;
}

}  // namespace vhidraw
