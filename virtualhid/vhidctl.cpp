// Command-line client of the virtual-key server's control channel: sends its
// arguments as one request and prints the reply. Exits 0 on "ok".
// Example: vhidctl add-key serial=0a0b0c0d key-password=1234
#include <cstdio>
#include <string>

#include "control_client.h"
#include "vhid_names.h"

int main(int argc, char** argv) {
    std::string request;
    for (int i = 1; i < argc; ++i) request += (i > 1 ? " " : "") + std::string(argv[i]);
    if (request.empty()) {
        std::fprintf(stderr, "usage: vhidctl <command> [arguments]   (try: vhidctl list)\n");
        return 2;
    }
    std::string reply;
    if (!vhid::ControlRequest(vhid::CurrentInstance(), request, reply)) {
        std::fprintf(stderr, "vhidctl: no virtual-key server for instance %s\n",
                     vhid::CurrentInstance().c_str());
        return 1;
    }
    std::printf("%s\n", reply.c_str());
    return vhid::ReplyOk(reply) ? 0 : 1;
}
