// The control commands of the virtual-key server. Requests are words split
// at spaces; options are name=value. Replies start with "ok" or "error".
//
//   list                          one line per device
//   paths                         device paths of the plugged devices, in order
//   describe <pipe name>          attributes and report lengths (for hid.dll)
//   add-key [serial=HEX8] [input=N] [output=N] [product=HEX] [cells=HEX*59]
//           [key-password=T login-id=T login-password=T]      -> ok <id>
//           [file=PATH [new]]     the key's memory lives in a file: loaded from it
//                                 (refused when the file is foreign, cut short or
//                                 damaged), or with `new` made from the options and
//                                 written to it; refused when another server (or key)
//                                 holds the file's lock (PATH.lock). Every change of
//                                 a cell is saved before the key answers it; a write
//                                 whose save fails is refused (the cell keeps its
//                                 value, the echo differs), and the server's output
//                                 says why
//   add-device [vendor=HEX] [product=HEX] [input=N] [output=N] [unreadable]
//                                 a device without the key's firmware -> ok <id>
//                                 (input 4..65535 bytes, output 1..65535)
//   remove|unplug|replug <id>
//   silent <id> on|off            no replies; reads time out
//   silent-after <id> <n>         answers n more reports, then falls silent
//   hang-writes <id> on|off       takes no output reports: writes never complete
//   hang-writes-after <id> <n>    takes n more output reports, then no more
//   stale <id> <n>                n replies with foreign sequence numbers
//   short-replies <id> <n> [length=L]
//                                 the key's next n replies are L bytes long (default:
//                                 one short of the input report); dropped, as HID drops them
//   deliver-short <id> on|off     hands short replies over instead (a driver that would)
//   refuse-writes <id> on|off     writes answered with a different echo
//   unplug-after <id> <n>         pulled out on the write after n more
//   foreign-every <id> <ms>       a foreign reply (a sequence number no exchange waits
//                                 for) to every open handle every ms, from now on;
//                                 0 stops them
//   late-write-after <id> <n> <ms>
//                                 takes n more output reports at once, the one after
//                                 only ms after it came (its write waits that long)
//   late-reply-after <id> <n> <ms> [foreign=K]
//                                 the reply to the report after n more comes ms late,
//                                 after K foreign replies spread evenly over the wait
//                                 The timed faults end when the key is pulled out.
//   cells <id>                    the 59 cells in hex
//   handles <id>                  handles open now, handles ever opened
//   removal-error [1167|pipe]     how reads and writes on a pulled key's handles fail:
//                                 1167 as on Windows, or the pipe's own error (the
//                                 default; Wine's HID gives yet another); no argument:
//                                 the setting
//   clear                         removes every device
//   stall                         replies, then serves nothing more (a server that hangs)
//   quit
#include "control_commands.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "device_pipes.h"
#include "key_file.h"
#include "timed_faults.h"
#include "vhid_names.h"

namespace vhid {

namespace {

std::string servedInstance = "default";
bool removalErrorIs1167 = false;
bool stallRequested = false;

struct Request {
    std::vector<std::string> words;  // without the name=value options
    std::vector<std::pair<std::string, std::string>> options;

    const std::string* Option(const std::string& name) const {
        for (const auto& [key, value] : options)
            if (key == name) return &value;
        return nullptr;
    }
    bool Has(const std::string& word) const {
        for (std::size_t i = 1; i < words.size(); ++i)
            if (words[i] == word) return true;
        return false;
    }
    unsigned long Number(const std::string& name, unsigned long fallback, int base = 10) const {
        const std::string* value = Option(name);
        return value ? std::strtoul(value->c_str(), nullptr, base) : fallback;
    }
};

Request Parse(const std::string& text) {
    Request request;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        const auto equals = word.find('=');
        if (equals == std::string::npos || request.words.empty())
            request.words.push_back(word);
        else
            request.options.emplace_back(word.substr(0, equals), word.substr(equals + 1));
    }
    return request;
}

bool ParseHex(const std::string& hex, std::uint8_t* bytes, std::size_t count) {
    if (hex.size() != count * 2) return false;
    for (std::size_t i = 0; i < count; ++i) {
        char* end = nullptr;
        const std::string pair = hex.substr(i * 2, 2);
        bytes[i] = static_cast<std::uint8_t>(std::strtoul(pair.c_str(), &end, 16));
        if (*end) return false;
    }
    return true;
}

std::string Ok(const std::string& rest = {}) {
    return rest.empty() ? "ok" : "ok " + rest;
}

std::string DeviceLine(const Device& device) {
    const auto& config = device.key.config();
    char line[512];
    std::snprintf(line, sizeof line,
                  "%d %s%s vendor=%04x product=%04x input=%u output=%u plugged=%d handles=%d "
                  "opens=%d reports=%d refused=%d dropped=%d foreign-replies=%d%s",
                  device.id, kPipeRoot, device.name.c_str(), config.vendorId, config.productId,
                  config.inputReportLength, config.outputReportLength, device.plugged ? 1 : 0,
                  OpenHandles(device), device.opens, device.key.exchanges(), device.refusedReports,
                  device.droppedReports, device.foreignReplies, device.foreign ? " foreign" : "");
    return line;
}

// The device's configuration; an error text when the lengths are ones the
// virtual key cannot serve (a reply needs four bytes, a report at least one).
std::string ConfigOf(const Request& request, unsigned vendor, unsigned product,
                     vkey::DeviceConfig& config) {
    const unsigned long input = request.Number("input", 65);
    const unsigned long output = request.Number("output", 65);
    if (input < vkey::kMinReplyLength || input > 0xFFFF)
        return "error input report must be 4 to 65535 bytes: a reply needs 4";
    if (output < 1 || output > 0xFFFF) return "error output report must be 1 to 65535 bytes";
    config.vendorId = static_cast<std::uint16_t>(request.Number("vendor", vendor, 16));
    config.productId = static_cast<std::uint16_t>(request.Number("product", product, 16));
    config.inputReportLength = static_cast<std::uint16_t>(input);
    config.outputReportLength = static_cast<std::uint16_t>(output);
    for (const auto& word : request.words)
        if (word == "unreadable") config.attributesReadable = false;
    return {};
}

std::string AddKey(const Request& request) {
    std::array<std::uint8_t, 4> serial{1, 2, 3, 4};
    if (const auto* hex = request.Option("serial"); hex && !ParseHex(*hex, serial.data(), 4))
        return "error serial takes 8 hex digits";
    vkey::KeyContents contents = vkey::FactoryInitialContents(serial);
    const auto* keyPassword = request.Option("key-password");
    const auto* loginId = request.Option("login-id");
    const auto* loginPassword = request.Option("login-password");
    if (keyPassword || loginId || loginPassword)
        contents =
            vkey::ProvisionedContents(serial, keyPassword ? *keyPassword : "",
                                      loginId ? *loginId : "", loginPassword ? *loginPassword : "");
    if (const auto* hex = request.Option("cells");
        hex && !ParseHex(*hex, contents.cells.data(), contents.cells.size()))
        return "error cells takes 118 hex digits";
    vkey::DeviceConfig config;
    if (std::string error = ConfigOf(request, vkey::kVendorId, vkey::kProductId, config);
        !error.empty())
        return error;
    const std::string* file = request.Option("file");
    vkey::KeyFileLock lock;
    if (file) {
        std::string error;
        if (!vkey::OpenKeyFile(*file, request.Has("new"), contents, lock, error))
            return "error " + error;
    }
    Device* device = AddDevice(servedInstance, false, contents, config);
    if (file) KeepMemoryIn(*device, *file, std::move(lock));
    return Ok(std::to_string(device->id));
}

std::string AddForeign(const Request& request) {
    vkey::DeviceConfig config;
    if (std::string error = ConfigOf(request, 0x046D, 0xC077, config); !error.empty()) return error;
    const Device* device = AddDevice(servedInstance, true, vkey::KeyContents{}, config);
    return Ok(std::to_string(device->id));
}

std::string RemovalError(const Request& request) {
    if (request.words.size() > 1) {
        const std::string& setting = request.words[1];
        if (setting != "1167" && setting != "pipe") return "error removal-error takes 1167 or pipe";
        removalErrorIs1167 = setting == "1167";
    }
    return Ok(removalErrorIs1167 ? "1167" : "pipe");
}

std::string Describe(const Request& request) {
    if (request.words.size() < 2) return "error describe takes a pipe name";
    const Device* device = FindDeviceByName(request.words[1]);
    if (!device || !device->plugged) return "error no such device";
    const auto& config = device->key.config();
    char line[128];
    std::snprintf(line, sizeof line, "%04x %04x %04x %u %u %d", config.vendorId, config.productId,
                  0x0100, config.inputReportLength, config.outputReportLength,
                  config.attributesReadable ? 1 : 0);
    return Ok(line);
}

bool On(const std::string& word) {
    return word == "on" || word == "1";
}

// Commands on one device: the word after the command is its id.
std::string OnDevice(const Request& request) {
    const std::string& command = request.words[0];
    if (request.words.size() < 2) return "error " + command + " takes a device id";
    Device* device = FindDevice(std::atoi(request.words[1].c_str()));
    if (!device) return "error no such device";
    const std::string argument = request.words.size() > 2 ? request.words[2] : "";
    const DWORD milliseconds =
        request.words.size() > 3 ? std::strtoul(request.words[3].c_str(), nullptr, 10) : 0;
    vkey::VirtualKey& key = device->key;
    if (command == "remove") {
        RemoveDevice(device->id);
    } else if (command == "unplug") {
        Unplug(*device);
    } else if (command == "replug") {
        Replug(*device);
    } else if (command == "silent") {
        key.SetSilent(device->foreign || On(argument));
    } else if (command == "silent-after") {
        key.SilentAfter(std::atoi(argument.c_str()));
    } else if (command == "hang-writes") {
        key.SetTakingWrites(!On(argument));
        ResumeWrites(*device);
    } else if (command == "hang-writes-after") {
        key.StopTakingWritesAfter(std::atoi(argument.c_str()));
    } else if (command == "stale") {
        key.QueueStaleReplies(std::atoi(argument.c_str()));
        DeliverReplies(*device);
    } else if (command == "short-replies") {
        device->shortReplies = std::atoi(argument.c_str());
        const std::size_t inputLength = key.config().inputReportLength;
        device->shortLength = request.Number("length", inputLength - 1);
        if (device->shortLength >= inputLength) return "error length must be short of the report";
    } else if (command == "deliver-short") {
        device->deliverShort = On(argument);
    } else if (command == "refuse-writes") {
        key.RefuseAllWrites(On(argument));
    } else if (command == "unplug-after") {
        key.UnplugAfter(std::atoi(argument.c_str()));
    } else if (command == "foreign-every") {
        SendForeignRepliesEvery(*device, std::strtoul(argument.c_str(), nullptr, 10));
    } else if (command == "late-write-after") {
        TakeWriteLate(*device, std::atoi(argument.c_str()), milliseconds);
    } else if (command == "late-reply-after") {
        DeliverRepliesLate(*device, std::atoi(argument.c_str()), milliseconds,
                           static_cast<int>(request.Number("foreign", 0)));
    } else if (command == "cells") {
        return Ok(vkey::Hex(key.contents().cells.data(), key.contents().cells.size()));
    } else if (command == "handles") {
        return Ok(std::to_string(OpenHandles(*device)) + " " + std::to_string(device->opens));
    } else {
        return "error unknown command " + command;
    }
    return Ok();
}

}  // namespace

void SetServedInstance(const std::string& instance) {
    servedInstance = instance;
}

bool StallRequested() {
    return stallRequested;
}

std::string AnswerControlRequest(const std::string& text, bool& stop) {
    const Request request = Parse(text);
    if (request.words.empty()) return "error empty request";
    const std::string& command = request.words[0];
    if (command == "quit") {
        stop = true;
        return Ok();
    }
    if (command == "stall") {
        stallRequested = true;
        return Ok();
    }
    if (command == "removal-error") return RemovalError(request);
    if (command == "list" || command == "paths") {
        std::string reply = Ok();
        for (const auto& device : Devices()) {
            if (command == "paths" && !device->plugged) continue;
            reply += "\n" + (command == "list" ? DeviceLine(*device) : kPipeRoot + device->name);
        }
        return reply;
    }
    if (command == "clear") {
        while (!Devices().empty()) RemoveDevice(Devices().front()->id);
        return Ok();
    }
    if (command == "describe") return Describe(request);
    if (command == "add-key") return AddKey(request);
    if (command == "add-device") return AddForeign(request);
    return OnDevice(request);
}

}  // namespace vhid
