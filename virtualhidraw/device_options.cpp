// The command line of virtual-hidraw, word by word.
#include "device_options.h"

#include <charconv>
#include <string_view>

namespace vhidraw {

const char* const kUsage =
    "usage: virtual-hidraw [DEVICE...] [--cells FILE] [--log FILE] [--control FIFO]\n"
    "                      -- COMMAND [ARG...]\n"
    "  DEVICE (attached as hidraw0, hidraw1, ... in this order):\n"
    "  --key [serial=HEX8] [key-password=T login-id=T login-password=T] [file=PATH [new]]\n"
    "        [input=N output=N] [descriptor=unparsable] [mode=OCTAL] [node=N]\n"
    "        [plug-after-ms=N] [unplug-after=N] [silent-after=N] [short-reply-after=N] [held]\n"
    "        [write-delay-ms=N] [wakes-without-reports]\n"
    "  --foreign [vendor=HEX] [product=HEX] [node=N] [plug-after-ms=N] [sysfs=key]\n"
    "Runs COMMAND with those devices attached and exits with its exit code.\n"
    "--control FIFO: makes FIFO and takes commands from it, a line each: plug N, unplug N,\n"
    "  silent N, refuse-writes N (device N as numbered above); each one carried out is\n"
    "  appended to FIFO.done.\n";

namespace {

constexpr unsigned kLongestReport = 16384;  // with its ID byte, as the HID core allows
constexpr std::size_t kFieldLength = 12;    // cells of a text on the key

template <typename Number>
bool ParseNumber(std::string_view text, Number& value, int base) {
    const char* end = text.data() + text.size();
    return !text.empty() && std::from_chars(text.data(), end, value, base).ptr == end;
}

bool ParseSerial(std::string_view hex, std::array<std::uint8_t, 4>& serial) {
    std::uint32_t value = 0;
    if (hex.size() != 8 || !ParseNumber(hex, value, 16)) return false;
    for (int i = 0; i < 4; ++i) serial[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    return true;
}

bool ParseLength(std::string_view text, std::uint16_t& length) {
    unsigned value = 0;
    if (!ParseNumber(text, value, 10) || value == 1 || value > kLongestReport) return false;
    length = static_cast<std::uint16_t>(value);
    return true;
}

bool ParseCount(std::string_view text, int& count) {
    return ParseNumber(text, count, 10) && count >= 0;
}

struct Texts {
    std::string keyPassword, loginId, loginPassword;
    bool any = false;
};

// A word either kind of device takes: true when it was understood.
bool DeviceWord(std::string_view name, std::string_view value, DeviceOptions& options) {
    if (name == "node") return ParseCount(value, options.node);
    if (name == "plug-after-ms") return ParseCount(value, options.plugAfterMs);
    return false;
}

// One word of a --key: true when it was understood.
bool KeyWord(std::string_view name, std::string_view value, bool hasValue, DeviceOptions& options,
             std::array<std::uint8_t, 4>& serial, Texts& texts) {
    if (!hasValue) {
        if (name == "new") options.newKeyFile = true;
        if (name == "held") options.held = true;
        if (name == "wakes-without-reports") options.wakesWithoutReports = true;
        return name == "new" || name == "held" || name == "wakes-without-reports";
    }
    if (DeviceWord(name, value, options)) return true;
    if (name == "serial") return ParseSerial(value, serial);
    if (name == "key-password" || name == "login-id" || name == "login-password") {
        std::string& text = name == "key-password" ? texts.keyPassword
                            : name == "login-id"   ? texts.loginId
                                                   : texts.loginPassword;
        if (value.size() > kFieldLength) return false;
        text = value;
        texts.any = true;
        return true;
    }
    if (name == "file") {
        options.keyFile = value;
        return !value.empty();
    }
    if (name == "input") return ParseLength(value, options.inputLength);
    if (name == "output") return ParseLength(value, options.outputLength);
    if (name == "descriptor") {
        options.unparsableDescriptor = value == "unparsable";
        return options.unparsableDescriptor;
    }
    if (name == "mode") return ParseNumber(value, options.mode, 8) && options.mode <= 07777;
    if (name == "write-delay-ms") return ParseCount(value, options.writeDelayMs);
    if (name == "unplug-after") return ParseCount(value, options.unplugAfter);
    if (name == "silent-after") return ParseCount(value, options.silentAfter);
    if (name == "short-reply-after") return ParseCount(value, options.shortReplyAfter);
    return false;
}

bool ForeignWord(std::string_view name, std::string_view value, bool hasValue,
                 DeviceOptions& options) {
    if (!hasValue) return false;
    if (name == "vendor") return ParseNumber(value, options.vendor, 16);
    if (name == "product") return ParseNumber(value, options.product, 16);
    if (name == "sysfs") {
        options.sysfsShowsKey = value == "key";
        return options.sysfsShowsKey;
    }
    return DeviceWord(name, value, options);
}

// The words of one device, from `at` up to the next option.
bool ParseDevice(const std::vector<std::string>& arguments, std::size_t& at, DeviceOptions& options,
                 std::string& error) {
    std::array<std::uint8_t, 4> serial{1, 2, 3, 4};
    Texts texts;
    for (; at < arguments.size() && arguments[at].rfind("--", 0) != 0; ++at) {
        const std::string_view word = arguments[at];
        const std::size_t equals = word.find('=');
        const bool hasValue = equals != std::string_view::npos;
        const std::string_view name = word.substr(0, equals);
        const std::string_view value = hasValue ? word.substr(equals + 1) : std::string_view{};
        const bool understood = options.kind == DeviceKind::Key
                                    ? KeyWord(name, value, hasValue, options, serial, texts)
                                    : ForeignWord(name, value, hasValue, options);
        if (!understood) {
            error = "virtual-hidraw: " + std::string(word) + ": not understood for this device";
            return false;
        }
    }
    if (options.kind == DeviceKind::Key) {
        options.contents = texts.any ? vkey::ProvisionedContents(serial, texts.keyPassword,
                                                                 texts.loginId, texts.loginPassword)
                                     : vkey::FactoryInitialContents(serial);
        if (options.newKeyFile && options.keyFile.empty()) {
            error = "virtual-hidraw: new needs file=PATH";
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseInvocation(const std::vector<std::string>& arguments, Invocation& invocation,
                     std::string& error) {
    std::size_t at = 0;
    while (at < arguments.size() && arguments[at] != "--") {
        const std::string& option = arguments[at++];
        if (option == "--key" || option == "--foreign") {
            DeviceOptions options;
            if (option == "--foreign") {
                options.kind = DeviceKind::Foreign;
                options.vendor = 0x046D;
                options.product = 0xC077;
            }
            if (!ParseDevice(arguments, at, options, error)) return false;
            invocation.devices.push_back(options);
        } else if ((option == "--cells" || option == "--log") && at < arguments.size()) {
            (option == "--cells" ? invocation.cellsFile : invocation.logFile) = arguments[at++];
        } else if (option == "--control" && at < arguments.size()) {
            invocation.controlFifo = arguments[at++];
        } else {
            error = "virtual-hidraw: " + option + ": not understood";
            return false;
        }
    }
    if (at + 1 >= arguments.size()) {
        error = "virtual-hidraw: no COMMAND after --";
        return false;
    }
    invocation.command.assign(arguments.begin() + static_cast<long>(at) + 1, arguments.end());
    return true;
}

}  // namespace vhidraw
