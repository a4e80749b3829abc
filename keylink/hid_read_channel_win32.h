// The read channel of the HID transport: the overlapped read handle, its
// event and its overlapped record. Discovery opens it on the found key.
#pragma once

// Closes the read handle if one is open and opens the device path again for
// overlapped reads; creates the read event on first use and reuses it after.
// False when the path could not be opened or the event not created.
bool OpenReadChannel(const char* devicePath);
