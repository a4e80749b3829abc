// What tells one connection of a key from another on Windows: the HID
// interface's path, the only name of it the HID class services give. A device
// plugged back into the same port gets the same path again (its instance is
// named by the port), so there a new connection at that port is not told
// apart. In the key link's static library, where nothing pulls it into the
// window.
#include "key_transport.h"

namespace {

struct Forward {
    KeyConnectionVisitor visit;
    void* context;
};

}  // namespace

void ForEachKeyConnection(KeyConnectionVisitor visit, void* context) {
    Forward forward{visit, context};
    ForEachKeyPath(
        [](const char* path, void* to) {
            const Forward& forward = *static_cast<Forward*>(to);
            forward.visit(path, path, forward.context);
        },
        &forward);
}
