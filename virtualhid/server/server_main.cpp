// The virtual-key server: serves virtual HID devices over named pipes to the
// stand-in hid.dll and setupapi.dll, and takes commands on its control pipe.
// Usage: virtualhid-server [instance]   (default: VIRTUALHID_INSTANCE or "default")
#include <windows.h>

#include <cstdio>

#include "control_commands.h"
#include "device_pipes.h"
#include "vhid_names.h"

int main(int argc, char** argv) {
    const std::string instance = argc > 1 ? argv[1] : vhid::CurrentInstance();
    vhid::SetServedInstance(instance);
    if (!vhid::StartPipes() || !vhid::ListenForControl(instance)) {
        std::fprintf(stderr, "virtualhid-server: cannot listen on %s\n",
                     vhid::ControlPipePath(instance).c_str());
        return 1;
    }
    while (vhid::ServeOneCompletion(vhid::AnswerControlRequest)) {
        if (vhid::StallRequested()) Sleep(INFINITE);  // its reply is in the pipe already
    }
    return 0;
}
