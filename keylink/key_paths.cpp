// The attached keys' paths as a list, for the front ends that choose among
// keys. Apart from the rest of the key link: the list allocates, and the
// window program, which takes the first key found, links none of it.
#include "key_transport.h"

std::vector<std::string> ListKeyPaths() {
    std::vector<std::string> paths;
    ForEachKeyPath(
        [](const char* path, void* context) {
            static_cast<std::vector<std::string>*>(context)->emplace_back(path);
        },
        &paths);
    return paths;
}
