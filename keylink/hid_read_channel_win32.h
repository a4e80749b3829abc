// The read channel of the HID transport: the overlapped read handle, which
// carries the input and the output reports, and an event and overlapped
// record for each direction. Discovery opens it on the found key.
#pragma once

// Closes the read handle if one is open and opens the device path again for
// overlapped transfers; creates the events on first use and reuses them
// after. False when the path could not be opened or an event not created.
bool OpenReadChannel(const char* devicePath);
