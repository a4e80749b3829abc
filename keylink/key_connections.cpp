// The attached keys' connections as a list, for the front ends that watch
// keys arrive. Apart from the rest of the key link, as key_paths.cpp is.
#include "key_transport.h"

std::vector<KeyConnection> ListKeyConnections() {
    std::vector<KeyConnection> connections;
    ForEachKeyConnection(
        [](const char* path, const char* connection, void* context) {
            static_cast<std::vector<KeyConnection>*>(context)->push_back({path, connection});
        },
        &connections);
    return connections;
}
