// A handle's device found by its pipe name, and described by the server.
#include "device_description.h"

#include <cstdio>
#include <string>

#include "control_client.h"
#include "vhid_names.h"

namespace vhid {

namespace {

std::string PipeNameOf(HANDLE handle) {
    alignas(FILE_NAME_INFO) char buffer[sizeof(FILE_NAME_INFO) + 512 * sizeof(WCHAR)];
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
    if (!GetFileInformationByHandleEx(handle, FileNameInfo, info, sizeof buffer)) return {};
    std::string name;
    for (DWORD i = 0; i < info->FileNameLength / sizeof(WCHAR); ++i)
        name.push_back(static_cast<char>(info->FileName[i]));
    return name;
}

}  // namespace

bool Describe(HANDLE handle, Description& description) {
    const std::string name = PipeNameOf(handle);
    const std::string instance = InstanceOfPipeName(name);
    std::string reply;
    if (instance.empty() || !ControlRequest(instance, "describe " + name, reply) || !ReplyOk(reply))
        return false;
    return std::sscanf(reply.c_str(), "ok %x %x %x %u %u %u", &description.vendor,
                       &description.product, &description.version, &description.input,
                       &description.output, &description.readable) == 6;
}

}  // namespace vhid
