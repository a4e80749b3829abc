// The server of the test process and requests to it.
#include "server_requests.h"

#include <gtest/gtest.h>

#include <sstream>

#include "virtual_key_server.h"

namespace keyserver {

namespace {

class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(server::Start()) << "no virtual-key server"; }
    void TearDown() override { server::Stop(); }
};

[[maybe_unused]] const ::testing::Environment* const serverEnvironment =
    ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

}  // namespace

std::string Control(const std::string& request) {
    const std::string reply = server::Request(request);
    EXPECT_TRUE(vhid::ReplyOk(reply)) << request << " -> " << reply;
    return reply;
}

std::string AddKey(const std::string& options) {
    return server::IdOf(Control("add-key " + options));
}

std::string Cells(const std::string& id) {
    const std::string hex = server::IdOf(Control("cells " + id));
    std::string cells;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        cells.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return cells;
}

int Reports(const std::string& id) {
    std::istringstream lines(Control("list"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, id.size() + 1, id + " ") != 0) continue;
        const auto at = line.find(" reports=");
        if (at != std::string::npos) return std::stoi(line.substr(at + 9));
    }
    return -1;
}

int Opens(const std::string& id) {
    std::istringstream reply(Control("handles " + id));  // "ok <open now> <opened ever>"
    std::string ok;
    int open = -1, opens = -1;
    reply >> ok >> open >> opens;
    return opens;
}

}  // namespace keyserver
