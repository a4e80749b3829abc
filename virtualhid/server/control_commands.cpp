// The control commands of the virtual-key server. Requests are words split
// at spaces; options are name=value. Replies start with "ok" or "error".
//
//   list                          one line per device
//   paths                         device paths of the plugged devices, in order
//   describe <pipe name>          attributes and report lengths (for hid.dll)
//   add-key [serial=HEX8] [input=N] [output=N] [product=HEX] [cells=HEX*59]
//           [key-password=T login-id=T login-password=T]      -> ok <id>
//   add-device [vendor=HEX] [product=HEX] [input=N] [output=N] [unreadable]
//                                 a device without the key's firmware -> ok <id>
//   remove|unplug|replug <id>
//   silent <id> on|off            no replies; reads time out
//   stale <id> <n>                n replies with foreign sequence numbers
//   refuse-writes <id> on|off     writes answered with a different echo
//   unplug-after <id> <n>         pulled out on the write after n more
//   cells <id>                    the 59 cells in hex
//   handles <id>                  handles open now, handles ever opened
//   clear                         removes every device
//   quit
#include "control_commands.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "device_pipes.h"
#include "vhid_names.h"

namespace vhid {

namespace {

std::string servedInstance = "default";

struct Request {
    std::vector<std::string> words;  // without the name=value options
    std::vector<std::pair<std::string, std::string>> options;

    const std::string* Option(const std::string& name) const {
        for (const auto& [key, value] : options)
            if (key == name) return &value;
        return nullptr;
    }
    unsigned Number(const std::string& name, unsigned fallback, int base = 10) const {
        const std::string* value = Option(name);
        return value ? static_cast<unsigned>(std::strtoul(value->c_str(), nullptr, base))
                     : fallback;
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

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    char pair[3];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

std::string Ok(const std::string& rest = {}) {
    return rest.empty() ? "ok" : "ok " + rest;
}

std::string DeviceLine(const Device& device) {
    const auto& config = device.key.config();
    char line[512];
    std::snprintf(line, sizeof line,
                  "%d %s%s vendor=%04x product=%04x input=%u output=%u plugged=%d handles=%d "
                  "opens=%d reports=%d refused=%d%s",
                  device.id, kPipeRoot, device.name.c_str(), config.vendorId, config.productId,
                  config.inputReportLength, config.outputReportLength, device.plugged ? 1 : 0,
                  OpenHandles(device), device.opens, device.key.exchanges(), device.refusedReports,
                  device.foreign ? " foreign" : "");
    return line;
}

vkey::DeviceConfig ConfigOf(const Request& request, unsigned vendor, unsigned product) {
    vkey::DeviceConfig config;
    config.vendorId = static_cast<std::uint16_t>(request.Number("vendor", vendor, 16));
    config.productId = static_cast<std::uint16_t>(request.Number("product", product, 16));
    config.inputReportLength = static_cast<std::uint16_t>(request.Number("input", 65));
    config.outputReportLength = static_cast<std::uint16_t>(request.Number("output", 65));
    for (const auto& word : request.words)
        if (word == "unreadable") config.attributesReadable = false;
    return config;
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
    const Device* device = AddDevice(servedInstance, false, contents,
                                     ConfigOf(request, vkey::kVendorId, vkey::kProductId));
    return Ok(std::to_string(device->id));
}

std::string AddForeign(const Request& request) {
    const Device* device =
        AddDevice(servedInstance, true, vkey::KeyContents{}, ConfigOf(request, 0x046D, 0xC077));
    return Ok(std::to_string(device->id));
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
    vkey::VirtualKey& key = device->key;
    if (command == "remove") {
        RemoveDevice(device->id);
    } else if (command == "unplug") {
        Unplug(*device);
    } else if (command == "replug") {
        Replug(*device);
    } else if (command == "silent") {
        key.SetSilent(device->foreign || On(argument));
    } else if (command == "stale") {
        key.QueueStaleReplies(std::atoi(argument.c_str()));
        DeliverReplies(*device);
    } else if (command == "refuse-writes") {
        key.RefuseAllWrites(On(argument));
    } else if (command == "unplug-after") {
        key.UnplugAfter(std::atoi(argument.c_str()));
    } else if (command == "cells") {
        return Ok(Hex(key.contents().cells.data(), key.contents().cells.size()));
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

std::string AnswerControlRequest(const std::string& text, bool& stop) {
    const Request request = Parse(text);
    if (request.words.empty()) return "error empty request";
    const std::string& command = request.words[0];
    if (command == "quit") {
        stop = true;
        return Ok();
    }
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
