// The link to the USB key: its state, opening it, exchanging framed commands
// with it and the key's commands built on those exchanges.
//
// Portable code: the platform is reached only through the transport seam in
// key_transport.h.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

// The one key model this program knows.
struct DeviceProfile {
    std::array<std::uint8_t, 4> transportMask;
    std::uint8_t productIdHigh;  // top four bits become the generation on opening
    std::uint8_t productIdLow;
};

inline constexpr std::uint16_t kKeyVendorId = 0x10F7;
inline constexpr DeviceProfile kFactoryProfile{{0x3C, 0xA7, 0x19, 0xE2}, 0x81, 0xE1};

// The framing needs at least these report lengths; a device with shorter
// reports is not our key.
inline constexpr std::uint16_t kMinOutputReportLength = 9;
inline constexpr std::uint16_t kMinInputReportLength = 4;
// The longest report the link carries, the report ID included: a high-speed
// interrupt transfer moves 1024 bytes at most. A device with longer reports
// is not our key either (the key's are 65 bytes).
inline constexpr std::uint16_t kMaxReportLength = 1025;

// An interface's path, terminated; "" for none. The platforms' paths are far
// shorter (a Windows device instance ID has at most 200 characters); a
// longer one is cut short, and is then never the chosen key's.
using KeyPath = std::array<char, 512>;

inline constexpr std::int32_t kOpenedFlagValue = 0x3FF;
inline constexpr std::uint8_t kKeyCellCount = 59;

// A key's serial number, serial byte 1 first.
using SerialNumber = std::array<std::uint8_t, 4>;

// Why the last discovery found no key to use.
enum class DiscoveryFailure : std::uint8_t {
    None,              // a key was found and opened
    NoKey,             // no interface with the key's vendor and product ID
    PermissionDenied,  // the key is there, but this user may not open it
    InUse,             // the key is held by another program for its operation
    Unusable,          // its report lengths cannot be read, or are too short or too long
    OtherKey,          // a key answered with another serial number than the one expected
                       // (keyLink.keySerial); it was closed again, nothing else read or written
};

// Module-level state of the connection; one for the whole program.
struct KeyLink {
    // Platform handles, where the platform keeps its handles here (Windows).
    void* queryHandle = nullptr;   // the key's attribute and capability queries
    void* reportHandle = nullptr;  // overlapped: input and output reports, time-limited
    void* readEvent = nullptr;     // created once, reused for every read
    void* writeEvent = nullptr;    // created once, reused for every write
    std::uint16_t inputReportLength = 0;
    std::uint16_t outputReportLength = 0;
    std::int32_t linkState = 0;   // 1 while a found key's transfers succeed
    std::int32_t openedFlag = 0;  // kOpenedFlagValue after a successful OpenKey
    // The first outputReportLength and inputReportLength bytes of the link's
    // own buffers (kMaxReportLength bytes each): sizing them never allocates.
    std::span<std::uint8_t> outputReport;
    std::span<std::uint8_t> inputReport;
    // Set by an exchange that got no matching reply (key not opened, link
    // lost, write failed or timed out, read timed out, only foreign replies,
    // report buffers too short for the framing) and by a refused command;
    // its answer byte then means nothing. Cleared by the next exchange.
    bool exchangeFailed = false;
    DiscoveryFailure discoveryFailure = DiscoveryFailure::None;
    KeyPath failedPath{};  // the interface the failure is about, when there is one
    KeyPath chosenPath{};  // empty: the first key found; else only this one
    // While serialExpected, every key the link opens must have expectedSerial
    // (ExpectKeySerial).
    bool serialExpected = false;
    SerialNumber expectedSerial{};
    // Once serialRead: the serial number of the key the last discovery found,
    // as read from it (ReadSerialNumber, or the check of the expected one;
    // with DiscoveryFailure::OtherKey, the other key's). Every discovery
    // clears serialRead, and so does ExpectKeySerial with another serial
    // number: while one is expected, a serial number read on the connection
    // open now is the expected one.
    bool serialRead = false;
    SerialNumber keySerial{};
};

extern KeyLink keyLink;
extern DeviceProfile deviceProfile;

// The product ID the device profile names (the generation in its top bits).
std::uint16_t ProfileProductId();

// Opens the key of the given generation (8..15): product ID or 0. With a
// serial number expected, only a key that has it (ExpectKeySerial).
std::uint16_t OpenKey(std::uint8_t generation);

// From now on, discovery takes only the interface at `path` (one of
// ListKeyPaths()); an empty path goes back to the first key found. It
// clears keyLink.serialRead: the next operation opens the key anew (choose
// before FindKeySerial, not between it and the operation).
void ChooseKeyPath(std::string_view path);

// Which key the link may talk to, for a front end that has chosen a key by
// its serial number (keyadmin-cli, the page) and means to read and change
// that key and no other, whatever is plugged in at its place meanwhile.
//
// After ExpectKeySerial, whenever the link opens a key (OpenKey, and an
// exchange that finds the key again after the link was lost) it first reads
// the key's serial number (four exchanges, serial byte 1 first) and
// compares it, before anything else is read or written. A key with another
// serial number is closed again at once (CloseKey): OpenKey gives 0, or the
// exchange fails; keyLink.discoveryFailure is OtherKey and keyLink.keySerial
// the serial number found, so that the front end can name both; and no
// exchange reaches any key until the next OpenKey.
//
// ExpectAnyKey, the state a process starts in, takes whichever key is found
// and reads nothing more (the window, a listing of every key).
void ExpectKeySerial(const SerialNumber& serial);
void ExpectAnyKey();

// Whether the key open now is the expected one, its link still up: its
// serial number was read on this connection, is the one expected, and no key
// path was chosen since. Every transport keeps to this: a connection's
// handles reach no other key, and a key pulled out takes them with it.
bool OpenedKeyIsExpected();

// One framed exchange: the key's answer byte.
std::uint8_t Transact(std::uint8_t command, std::uint8_t argument1, std::uint8_t argument2);

// True when the last exchange got no matching reply from the key.
bool LastExchangeFailed();

// Key commands. An address of 59 or more, or a serial byte other than 1..4,
// is refused without an exchange: 0, and LastExchangeFailed().
std::uint8_t ReadCell(std::uint8_t address);
std::uint8_t WriteCell(std::uint8_t address, std::uint8_t value);
std::uint8_t ReadSerialByte(std::uint8_t n);
std::uint8_t IsKeyPresent();  // 0 when the key is opened and answers

// Reads the serial number of the opened key, serial byte 1 first: four
// exchanges, stopping at the first that gets no reply (false). Kept in
// keyLink.keySerial for this connection.
bool ReadSerialNumber(SerialNumber& serial);

// Zeros both report buffers and forgets the last answer: they hold the last
// byte read from the key or the next one to be written, which may be part of
// a password. Every operation calls it when it ends.
void WipeReportBuffers();

// Puts the link back into the state a fresh process starts with (nothing
// opened, sequence number 0, last reply 0). Platform handles are forgotten,
// not closed. For tests that need a fresh start within one process.
void ResetKeyLinkState();
