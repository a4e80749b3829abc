// The seam between the key link and the platform: the three transport
// operations and the pause between reads. The Windows build supplies them on
// the HID class services; tests supply them on a virtual key.
#pragma once

#include <cstdint>

// Finds the key (vendor kKeyVendorId, product from deviceProfile) and opens
// it; on success the handles are open and the report lengths and buffers are
// set (SizeReportBuffers). 1 if found, 0 if not.
int DiscoverKey();

// Sends keyLink.outputReport, waiting at most kWriteTimeoutMs for the key to
// take it; when it fails or is not taken in time sets the link state to 0.
// Returns the link state afterwards.
std::int32_t SendReport();

// Reads one input report into keyLink.inputReport, waiting at most
// kReadTimeoutMs; when none arrives (or the read fails, or delivers fewer
// bytes than the input report length) sets the link state to 0. Returns the
// link state afterwards.
std::int32_t ReceiveReport();

// The pause between two reads of one exchange (kPauseBetweenReadsMs).
void PauseBetweenReads();

inline constexpr unsigned kReadTimeoutMs = 3000;
inline constexpr unsigned kWriteTimeoutMs = kReadTimeoutMs;
inline constexpr unsigned kPauseBetweenReadsMs = 2;

// Provided by the key link for the transports.

// Whether a device with these report lengths can carry the framing.
bool ReportLengthsUsable(std::uint16_t inputLength, std::uint16_t outputLength);

// Records the discovered report lengths and sizes both report buffers to
// them, zero-filled. Allocates only when a buffer has to grow.
void SizeReportBuffers(std::uint16_t inputLength, std::uint16_t outputLength);
