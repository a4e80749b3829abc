// Pipe names of the virtual-key server.
#include "vhid_names.h"

#include <windows.h>

#include <cstdio>

namespace vhid {

namespace {
constexpr char kPrefix[] = "\\virtualhid\\";
}

std::string CurrentInstance() {
    char value[64];
    const DWORD length = GetEnvironmentVariableA("VIRTUALHID_INSTANCE", value, sizeof value);
    if (length == 0 || length >= sizeof value) return "default";
    return value;
}

std::string ControlPipePath(const std::string& instance) {
    return std::string(kPipeRoot) + kPrefix + instance + "\\control";
}

std::string DevicePipeName(const std::string& instance, unsigned vendor, unsigned product, int id) {
    char tail[64];
    std::snprintf(tail, sizeof tail, "\\hid#vid_%04x&pid_%04x#%d", vendor & 0xFFFF,
                  product & 0xFFFF, id);
    return kPrefix + instance + tail;
}

std::string InstanceOfPipeName(const std::string& pipeName) {
    const std::string prefix = kPrefix;
    if (pipeName.compare(0, prefix.size(), prefix) != 0) return {};
    const auto end = pipeName.find('\\', prefix.size());
    if (end == std::string::npos) return {};
    return pipeName.substr(prefix.size(), end - prefix.size());
}

}  // namespace vhid
