// Faults of the virtual keys that strike on a clock: foreign replies that
// come every so often, an output report taken late, replies delivered late.
// They run on the server's one thread between completions: the server waits
// on its port no longer than until the next one is due (NextFaultDueIn).
// Pulling a key out or removing it ends its timed faults.
#pragma once

#include <windows.h>

#include "device_pipes.h"

namespace vhid {

// A foreign reply (one whose sequence number no exchange waits for) to every
// open handle of the device every `periodMs`, from now on; 0 stops them.
void SendForeignRepliesEvery(Device& device, DWORD periodMs);

// The device takes `reports` more output reports at once, and the one after
// only `delayMs` after it came; the ones after that at once again.
void TakeWriteLate(Device& device, int reports, DWORD delayMs);

// The replies to the output report after `reports` more come `delayMs` late,
// after `foreign` foreign replies spread evenly over the wait.
void DeliverRepliesLate(Device& device, int reports, DWORD delayMs, int foreign);

// Hooks of the device pipes.
// An output report of the right length has come on `p` and the key takes
// writes: true when it is to be taken later (the fault then takes it).
bool HoldsWrite(PipeInstance* p);
// The key has taken an output report: true when the fault has taken its
// replies, to deliver them later.
bool HoldsReplies(Device& device);
// The instance is being retired, the device pulled out or removed: their
// faults are dropped.
void ForgetInstance(const PipeInstance* p);
void ForgetDevice(const Device& device);

// Milliseconds until the next fault is due; INFINITE when none is.
DWORD NextFaultDueIn();
// Runs the faults that are due.
void RunDueFaults();

}  // namespace vhid
