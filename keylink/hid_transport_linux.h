// What the Linux transport (hid_transport_linux.cpp, the seam of
// key_transport.h on hidraw) offers its front ends beyond the seam.
#pragma once

// The text to show when a discovery ended with
// DiscoveryFailure::PermissionDenied (keyLink.failedPath names the node):
// what the user lacks, and how to install the udev rule of
// packaging/linux/ that gives it. Several lines, each ending in a newline.
const char* PermissionDeniedHint();
