// The transport seam on a key whose behaviour comes from the fuzzer's bytes.
#include "fuzz_key_transport.h"

#include <algorithm>

#include "fake_clock.h"
#include "key_link.h"
#include "key_transport.h"

namespace fuzzkey {

namespace {

const std::uint8_t* bytes = nullptr;
std::size_t remaining = 0;
KeyMemory key;
std::vector<Exchange> exchanges;

constexpr std::uint16_t kReportLength = 65;
// Each read that gets a report takes this long on the fake clock, so that a
// run of foreign reports meets the exchange's time limit before its 102nd read.
constexpr std::uint32_t kReportTimeMs = 35;

// What a read does, from one byte: mostly the true answer.
enum class ReadFate : std::uint8_t { True, Lie, Foreign, NoReport, Untouched };

ReadFate FateOf(std::uint8_t byte) {
    switch (byte % 16) {
        case 10:
            return ReadFate::Lie;
        case 11:
            return ReadFate::Foreign;
        case 12:
        case 13:
            return ReadFate::NoReport;  // timed out, or the read failed
        case 14:
            return ReadFate::Untouched;
        default:
            return ReadFate::True;
    }
}

std::uint8_t TrueAnswer(const vkey::DecodedFrame& frame) {
    switch (frame.kind) {
        case vkey::FrameKind::ReadCell:
            return frame.address < key.cells.size() ? key.cells[frame.address] : 0;
        case vkey::FrameKind::WriteCell:
            return frame.value;
        case vkey::FrameKind::ReadSerial:
            return key.serial[frame.serialIndex - 1];
        default:
            return 0;
    }
}

// Puts a report into the input buffer, as much of it as the buffer holds.
void Deliver(std::uint8_t sequence, std::uint8_t answer, std::uint8_t noise) {
    const std::array<std::uint8_t, 4> report{0, sequence, noise,
                                             static_cast<std::uint8_t>(answer ^ noise)};
    std::copy_n(report.begin(), std::min(report.size(), keyLink.inputReport.size()),
                keyLink.inputReport.begin());
    if (exchanges.empty() || keyLink.inputReport.size() < report.size()) return;
    Exchange& last = exchanges.back();
    if (last.taken && !last.answered && sequence == last.frame.sequence) {
        last.answered = true;
        last.answer = answer;
    }
}

}  // namespace

void Begin(const std::uint8_t* data, std::size_t size, const KeyMemory& memory) {
    bytes = data;
    remaining = size;
    key = memory;
    exchanges.clear();
}

std::uint8_t NextByte() {
    if (remaining == 0) return 0;
    --remaining;
    return *bytes++;
}

const std::vector<Exchange>& Exchanges() {
    return exchanges;
}

void ClearExchanges() {
    exchanges.clear();
}

}  // namespace fuzzkey

using namespace fuzzkey;

// Found, not found, or found with report lengths the transport makes up.
int DiscoverKey() {
    const std::uint8_t fate = NextByte();
    keyLink.discoveryFailure = DiscoveryFailure::None;
    if (fate % 16 == 15) {
        keyLink.discoveryFailure = DiscoveryFailure::NoKey;
        return 0;
    }
    if (fate % 16 == 14) {
        SizeReportBuffers(NextByte() % 80, NextByte() % 80);
    } else {
        SizeReportBuffers(kReportLength, kReportLength);
    }
    return 1;
}

void ForEachKeyPath(KeyPathVisitor visit, void* context) {
    visit("fuzz", context);
}

void ForEachKeyConnection(KeyConnectionVisitor visit, void* context) {
    visit("fuzz", "fuzz", context);
}

void CloseKey() {
    keyLink.linkState = 0;
    keyLink.openedFlag = 0;
}

std::int32_t SendReport(std::uint32_t limitMs) {
    Exchange exchange;
    exchange.frame = vkey::DecodeFrame(keyLink.outputReport.data(), keyLink.outputReport.size());
    exchange.taken = NextByte() % 16 != 15;
    if (exchange.taken && exchange.frame.kind == vkey::FrameKind::WriteCell &&
        exchange.frame.address < key.cells.size())
        key.cells[exchange.frame.address] = exchange.frame.value;
    exchanges.push_back(exchange);
    if (!exchange.taken) {
        fakeclock::Advance(limitMs);
        keyLink.linkState = 0;
    }
    return keyLink.linkState;
}

std::int32_t ReceiveReport(std::uint32_t limitMs) {
    if (exchanges.empty()) {  // a read with no frame sent: nothing to answer
        keyLink.linkState = 0;
        return 0;
    }
    if (limitMs < kReportTimeMs) {  // the report would come too late
        fakeclock::Advance(limitMs);
        keyLink.linkState = 0;
        return 0;
    }
    fakeclock::Advance(kReportTimeMs);
    const vkey::DecodedFrame frame = exchanges.back().frame;
    switch (FateOf(NextByte())) {
        case ReadFate::True:
            Deliver(frame.sequence, TrueAnswer(frame), NextByte());
            break;
        case ReadFate::Lie:
            Deliver(frame.sequence, NextByte(), NextByte());
            break;
        case ReadFate::Foreign: {
            const std::uint8_t sequence = NextByte();
            const std::uint8_t answer = NextByte();
            Deliver(sequence, answer, NextByte());
            break;
        }
        case ReadFate::NoReport:
            fakeclock::Advance(limitMs - kReportTimeMs);
            keyLink.linkState = 0;
            break;
        case ReadFate::Untouched:
            break;
    }
    return keyLink.linkState;
}

void PauseBetweenReads() {
    fakeclock::Advance(kPauseBetweenReadsMs);
}
