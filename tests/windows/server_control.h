// Requests to the virtual-key server of the test process, as the Windows
// tests make them: a request that must succeed, and counts read back from the
// server's device list.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "virtual_key_server.h"

// One request; the test fails unless the server answers "ok".
inline std::string Control(const std::string& request) {
    const std::string reply = server::Request(request);
    EXPECT_TRUE(vhid::ReplyOk(reply)) << request << " -> " << reply;
    return reply;
}

// A name=value count from the device's line of the server's "list" reply.
inline int ListedCount(const std::string& id, const std::string& name) {
    std::istringstream lines(Control("list"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, id.size() + 1, id + " ") != 0) continue;
        const auto at = line.find(" " + name + "=");
        if (at != std::string::npos) return std::stoi(line.substr(at + name.size() + 2));
    }
    return -1;
}

// The device's path, as the device-installation services give it to the
// program: the second word of its line of the "list" reply.
inline std::string ListedPath(const std::string& id) {
    std::istringstream lines(Control("list"));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string first, path;
        if (words >> first >> path && first == id) return path;
    }
    return {};
}
