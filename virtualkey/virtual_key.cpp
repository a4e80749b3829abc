// The virtual key's firmware: memory cells, serial number, replies and faults.
#include "virtual_key.h"

#include <algorithm>
#include <atomic>

namespace vkey {

namespace {

constexpr std::uint8_t kLoginIdBase = 16;
constexpr std::uint8_t kLoginPasswordBase = 28;
constexpr std::uint8_t kKeyPasswordBase = 40;
constexpr std::size_t kFieldLength = 12;

void PutField(KeyContents& contents, std::uint8_t base, std::string_view text) {
    for (std::size_t i = 0; i < kFieldLength; ++i)
        contents.cells[base + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
}

}  // namespace

KeyContents FactoryInitialContents(std::array<std::uint8_t, 4> serial) {
    KeyContents contents;
    contents.serial = serial;
    contents.cells[kKeyPasswordBase] = kFactoryMark;
    return contents;
}

KeyContents ProvisionedContents(std::array<std::uint8_t, 4> serial, std::string_view keyPassword,
                                std::string_view loginId, std::string_view loginPassword) {
    KeyContents contents;
    contents.serial = serial;
    PutField(contents, kLoginIdBase, loginId);
    PutField(contents, kLoginPasswordBase, loginPassword);
    PutField(contents, kKeyPasswordBase, keyPassword);
    return contents;
}

VirtualKey::VirtualKey(KeyContents contents, DeviceConfig config)
    : contents_(contents),
      config_(config),
      ring_(kQueuedReports * config.inputReportLength),
      noiseState_(0x9E3779B9u ^ (contents.serial[0] << 24 | contents.serial[1] << 16 |
                                 contents.serial[2] << 8 | contents.serial[3])) {}

std::uint64_t VirtualKey::NextConnection() {
    static std::atomic<std::uint64_t> connections{0};
    return ++connections;
}

std::uint8_t VirtualKey::NextNoise() {
    noiseState_ = noiseState_ * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(noiseState_ >> 24);
}

void VirtualKey::ScheduleFault(Fault fault, int exchanges) {
    scheduledFault_ = fault;
    faultCountdown_ = exchanges;
    if (fault == Fault::StopTakingWrites && exchanges == 0) {
        takingWrites_ = false;
        CancelScheduledFault();
    }
}

bool VirtualKey::AcceptOutputReport(const std::uint8_t* report, std::size_t length) {
    if (!plugged_ || !takingWrites_) return false;
    if (faultCountdown_ == 0) {  // the fault strikes on this report
        const Fault fault = scheduledFault_;
        CancelScheduledFault();
        if (fault == Fault::Unplug) {
            Unplug();
            return false;
        }
        if (fault == Fault::Silence) silent_ = true;
        if (fault == Fault::RefuseWrites) refuseAll_ = true;
    }
    if (length != config_.outputReportLength) return false;
    if (faultCountdown_ > 0 && --faultCountdown_ == 0 &&
        scheduledFault_ == Fault::StopTakingWrites) {
        // This report is the last one taken.
        takingWrites_ = false;
        CancelScheduledFault();
    }
    ++exchanges_;

    const DecodedFrame frame = DecodeFrame(report, length);
    if (frame.kind == FrameKind::Malformed || frame.kind == FrameKind::Other) return true;
    lastSequence_ = frame.sequence;
    const std::uint8_t answer = Answer(frame);
    if (!silent_ && !foreignOnly_) Queue(frame.sequence, answer);
    return true;
}

std::uint8_t VirtualKey::Answer(const DecodedFrame& frame) {
    switch (frame.kind) {
        case FrameKind::ReadCell:
            return frame.address < kCellCount ? contents_.cells[frame.address] : 0;
        case FrameKind::WriteCell:
            if (frame.address >= kCellCount) return 0;
            if (refuseAll_ || refused_[frame.address] || !StoreCell(frame.address, frame.value))
                return static_cast<std::uint8_t>(~frame.value);
            return frame.value;  // the key echoes the value it stored
        case FrameKind::ReadSerial:
            return contents_.serial[frame.serialIndex - 1];
        default:
            return 0;
    }
}

// Stores the value once the cell store has kept it; false, with the cell as
// it was, when the store could not.
bool VirtualKey::StoreCell(std::uint8_t address, std::uint8_t value) {
    if (store_ && contents_.cells[address] != value) {
        KeyContents after = contents_;
        after.cells[address] = value;
        if (!store_(after)) return false;
    }
    contents_.cells[address] = value;
    return true;
}

void VirtualKey::Queue(std::uint8_t sequence, std::uint8_t answer) {
    const std::size_t length = config_.inputReportLength;
    if (length < kMinReplyLength) return;  // no reply fits: the key sends none
    if (queued_ == kQueuedReports) {       // the driver drops the oldest report
        head_ = (head_ + 1) % kQueuedReports;
        --queued_;
    }
    const std::size_t slot = (head_ + queued_) % kQueuedReports;
    EncodeReply(ring_.data() + slot * length, length, sequence, answer, NextNoise());
    ++queued_;
}

bool VirtualKey::TakeInputReport(std::uint8_t* report, std::size_t length) {
    if (!plugged_ || length != config_.inputReportLength || length < kMinReplyLength) return false;
    if (foreignOnly_) {
        // Replies to nobody: their answers count up, 1 for the first.
        ++foreignCount_;
        EncodeReply(report, length, static_cast<std::uint8_t>(lastSequence_ ^ 0x80),
                    static_cast<std::uint8_t>(foreignCount_), NextNoise());
        return true;
    }
    if (staleReplies_ > 0) {
        --staleReplies_;
        EncodeReply(report, length, static_cast<std::uint8_t>(lastSequence_ - 1), 0xEE,
                    NextNoise());
        return true;
    }
    if (queued_ == 0) return false;
    std::copy_n(ring_.data() + head_ * length, length, report);
    head_ = (head_ + 1) % kQueuedReports;
    --queued_;
    return true;
}

}  // namespace vkey
