// The seam between the key link and the platform. Each platform supplies
// these in one file of its own (hid_transport_win32.cpp on the Windows HID
// class services); tests supply them on virtual keys.
//
// The key link decides how long an exchange may take (kExchangeLimitMs from
// the start of its write); the transport waits at most the time it is given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Finds the key (vendor kKeyVendorId, product from deviceProfile) and opens
// it; when a key has been chosen (ChooseKeyPath), only that interface is
// taken. On success the handles are open and the report lengths and buffers
// are set (SizeReportBuffers): 1, and keyLink.discoveryFailure is None.
// Otherwise 0, and keyLink.discoveryFailure (with keyLink.failedPath) says
// why.
int DiscoverKey();

// Sends keyLink.outputReport, waiting at most `limitMs` for the key to take
// it; when it fails or is not taken in time sets the link state to 0. A
// transfer cut off by the limit is cancelled, and the call returns only once
// the cancellation is complete. Returns the link state afterwards.
std::int32_t SendReport(std::uint32_t limitMs);

// Reads one input report into keyLink.inputReport, waiting at most
// `limitMs`; when none arrives (or the read fails, or delivers fewer bytes
// than the input report length) sets the link state to 0, cancelling the
// read as SendReport does. Returns the link state afterwards.
std::int32_t ReceiveReport(std::uint32_t limitMs);

// The pause between two reads of one exchange (kPauseBetweenReadsMs).
void PauseBetweenReads();

// Calls `visit` with the path of every attached interface with the key's
// vendor and product ID, and `context`, in the order the platform lists
// them. Leaves the link as it was.
using KeyPathVisitor = void (*)(const char* path, void* context);
void ForEachKeyPath(KeyPathVisitor visit, void* context);

// As ForEachKeyPath, with the name of each interface's connection: one stay
// of one device at its path. A key pulled out and plugged back in, or another
// key that takes the path a key left, is a new connection under another
// name, though the path is the same; so a front end that watches keys arrive
// sees an arrival between two looks even at a path it saw before. Names are
// compared, never parsed:
// - Linux: the HID device's name in sysfs (0003:10F7:81E1.0007, the basename
//   of /sys/class/hidraw/hidrawN/device), which the kernel numbers anew for
//   every device it adds. An interface whose device is gone by the time it is
//   looked at is not visited.
// - Windows: the interface's path. Windows gives a device plugged back into
//   the same port the same path, so there a new connection at that port is
//   not told from the old one (the key's serial number still is).
// - The page (WebHID): the path, "webhid:<number>", whose number the page's
//   device layer gives each connection anew.
// - Host tests (in_process_transport): the path and a number the virtual key
//   takes anew each time it is attached.
// Leaves the link as it was. Not linked into the window, which lists no keys
// (Windows: hid_connections_win32.cpp).
using KeyConnectionVisitor = void (*)(const char* path, const char* connection, void* context);
void ForEachKeyConnection(KeyConnectionVisitor visit, void* context);

// Closes whatever the transport holds on the key (its handles, and where the
// platform has one, its lock); the link state and the opened flag fall to 0.
void CloseKey();

// One exchange, its write, every read and the pauses between them, ends
// this long after the start of its write.
inline constexpr std::uint32_t kExchangeLimitMs = 3000;
inline constexpr std::uint32_t kPauseBetweenReadsMs = 2;

// Provided by the key link for the front ends.

// The paths ForEachKeyPath visits, in its order. In a file of its own
// (key_paths.cpp), which a program that lists no keys does not link.
std::vector<std::string> ListKeyPaths();

// The interfaces ForEachKeyConnection visits, in its order. In a file of its
// own (key_connections.cpp), for the same reason.
struct KeyConnection {
    std::string path;
    std::string connection;
    bool operator==(const KeyConnection&) const = default;
};
std::vector<KeyConnection> ListKeyConnections();

// Provided by the key link for the transports.

// Whether a device with these report lengths can carry the framing.
bool ReportLengthsUsable(std::uint16_t inputLength, std::uint16_t outputLength);

// Records the discovered report lengths and sizes both report buffers to
// them, zero-filled. Never allocates; a length over kMaxReportLength (which
// ReportLengthsUsable refuses) leaves a buffer shorter than its length, and
// every exchange then fails before it builds a frame.
void SizeReportBuffers(std::uint16_t inputLength, std::uint16_t outputLength);

// Whether the interface at `path` may be taken: any, until a key is chosen.
bool IsChosenKeyPath(const char* path);

// Names the interface the discovery's failure is about ("" for none).
void SetFailedPath(std::string_view path);
