// One exchange with the key: frame, scramble, send, match the reply by its
// sequence number, extract the answer byte.
#include "key_link.h"
#include "key_transport.h"
#include "link_internals.h"
#include "monotonic_clock.h"
#include "wipe_bytes.h"

namespace {

std::uint8_t sequenceNumber = 0;  // byte 1 of the last frame built
std::uint8_t lastReplyValue = 0;  // answer of the last exchange
constexpr int kMaxReads = 102;    // reads of one exchange, the first included

bool ReplyMatches(std::uint8_t s) {
    return keyLink.inputReport[1] == s;
}

std::uint8_t AnswerFromInputReport() {
    return static_cast<std::uint8_t>(keyLink.inputReport[3] ^ keyLink.inputReport[2]);
}

// The transport sized the buffers; whatever it did, a frame needs nine bytes
// and a reply four, and each buffer must hold the length that goes over the
// wire.
bool ReportBuffersUsable() {
    return keyLink.outputReport.size() == keyLink.outputReportLength &&
           keyLink.inputReport.size() == keyLink.inputReportLength &&
           ReportLengthsUsable(keyLink.inputReportLength, keyLink.outputReportLength);
}

// The time left of an exchange that started at `start`: 0 once its limit
// has passed.
std::uint32_t TimeLeft(std::uint64_t start) {
    const std::uint64_t elapsed = MonotonicMilliseconds() - start;
    return elapsed >= kExchangeLimitMs ? 0 : static_cast<std::uint32_t>(kExchangeLimitMs - elapsed);
}

// A read within the time left; once the limit has passed, the exchange ends
// as a read that timed out.
bool ReceiveWithin(std::uint64_t start) {
    const std::uint32_t left = TimeLeft(start);
    if (left == 0) {
        keyLink.linkState = 0;
        return false;
    }
    return ReceiveReport(left) == 1;
}

// Waits for the reply that echoes s: the first read at once, then up to 101
// more with a pause before each, all within the exchange's limit. True when
// it arrived.
bool AwaitReply(std::uint8_t s, std::uint64_t start) {
    if (!ReceiveWithin(start)) return false;
    for (int reads = 1; !ReplyMatches(s); ++reads) {
        if (keyLink.linkState == 0 || reads == kMaxReads) return false;
        PauseBetweenReads();
        if (!ReceiveWithin(start)) return false;
    }
    return true;
}

}  // namespace

// Frames and scrambles the three command bytes, sends the frame and waits
// for its reply.
std::uint8_t ExchangeFrame(std::uint8_t byte6, std::uint8_t byte7, std::uint8_t byte8) {
    keyLink.exchangeFailed = true;
    if (keyLink.linkState != 1 || !ReportBuffersUsable()) return 0;

    // A reply left over from an earlier exchange can never match.
    keyLink.inputReport[1] = sequenceNumber;
    const std::uint8_t s = ++sequenceNumber;
    const std::array<std::uint8_t, 3> command{byte6, byte7, byte8};
    std::uint8_t* frame = keyLink.outputReport.data();
    frame[0] = 0;
    frame[1] = s;
    for (int i = 0; i < 4; ++i)
        frame[2 + i] = static_cast<std::uint8_t>(deviceProfile.transportMask[i] ^ (s + i));
    for (int i = 0; i < 3; ++i) frame[6 + i] = static_cast<std::uint8_t>(command[i] ^ (s + 4 + i));

    // One limit for the whole exchange, from the start of its write.
    const std::uint64_t start = MonotonicMilliseconds();
    if (SendReport(kExchangeLimitMs) == 1 && AwaitReply(s, start)) keyLink.exchangeFailed = false;
    return AnswerFromInputReport();
}

namespace {

// One exchange; a lost link is found again first (and the key found checked
// when a serial number is expected). Discovery sizes the buffers, so the
// frame is filled only after it.
std::uint8_t Exchange(std::uint8_t byte6, std::uint8_t byte7, std::uint8_t byte8) {
    if (keyLink.linkState == 0) DiscoverExpectedKey();
    return ExchangeFrame(byte6, byte7, byte8);
}

}  // namespace

std::uint8_t Transact(std::uint8_t command, std::uint8_t argument1, std::uint8_t argument2) {
    if (keyLink.openedFlag == 0) {
        keyLink.exchangeFailed = true;
        return lastReplyValue;
    }
    if (command & 0x80) {
        // Memory access: the address travels in the command's low bits and
        // the second argument is not sent.
        lastReplyValue = Exchange(static_cast<std::uint8_t>(command & 0xC0),
                                  static_cast<std::uint8_t>((command & 0x3F) - 0x60), argument1);
    } else {
        lastReplyValue = Exchange(command, argument1, argument2);
    }
    return lastReplyValue;
}

bool LastExchangeFailed() {
    return keyLink.exchangeFailed;
}

void WipeReportBuffers() {
    WipeBytes(keyLink.outputReport.data(), keyLink.outputReport.size());
    WipeBytes(keyLink.inputReport.data(), keyLink.inputReport.size());
    lastReplyValue = 0;
}

void ResetKeyLinkState() {
    keyLink = KeyLink{};
    deviceProfile = kFactoryProfile;
    sequenceNumber = 0;
    lastReplyValue = 0;
}
