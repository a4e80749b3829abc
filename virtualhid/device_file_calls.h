// The program's file calls on the handles it opens on a virtual device's
// path behave as on a HID device: reads and writes are held to the device's
// report lengths (report_lengths.h), and a pulled key's fail with the error
// the server is set to give (removal_errors.h).
#pragma once

namespace vhid {

// Points the program's imports of the file functions at wrappers that do
// so. Called once, when the stand-in hid.dll is loaded.
void WrapDeviceFileCalls();

}  // namespace vhid
