// The server of the test process and requests to it.
#include "server_requests.h"

#include <gtest/gtest.h>

#include "server_control.h"
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
    return ::Control(request);
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
    return ListedCount(id, "reports");
}

int Opens(const std::string& id) {
    return ListedCount(id, "opens");
}

}  // namespace keyserver
