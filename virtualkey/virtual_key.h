// A model of the key's firmware and of the faults a real key shows: the
// virtual key that tests, benchmarks and the virtual-key server run against.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "key_wire.h"

namespace vkey {

inline constexpr std::size_t kCellCount = 59;
inline constexpr std::uint16_t kVendorId = 0x10F7;
inline constexpr std::uint16_t kProductId = 0x81E1;
inline constexpr std::uint8_t kFactoryMark = 0x0D;  // cell 40 of a key without key password
inline constexpr std::size_t kQueuedReports = 32;   // input reports the driver keeps per device

struct KeyContents {
    std::array<std::uint8_t, kCellCount> cells{};
    std::array<std::uint8_t, 4> serial{};
};

// Factory-initial: all cells zero but cell 40, which holds 0x0D.
KeyContents FactoryInitialContents(std::array<std::uint8_t, 4> serial);

// A key in use: the three 12-cell fields filled (zero-padded, cut at 12).
KeyContents ProvisionedContents(std::array<std::uint8_t, 4> serial, std::string_view keyPassword,
                                std::string_view loginId, std::string_view loginPassword);

struct DeviceConfig {
    std::uint16_t vendorId = kVendorId;
    std::uint16_t productId = kProductId;
    std::uint16_t inputReportLength = 65;
    std::uint16_t outputReportLength = 65;
    bool attributesReadable = true;
};

class VirtualKey {
public:
    explicit VirtualKey(KeyContents contents = FactoryInitialContents({1, 2, 3, 4}),
                        DeviceConfig config = {});

    // Firmware side. An output report is taken when the key is plugged in,
    // takes writes, and the length is the output report length; false is a
    // failed write.
    bool AcceptOutputReport(const std::uint8_t* report, std::size_t length);
    // The oldest queued input report; false when none is queued (a read
    // would time out). `length` must be the input report length. A key whose
    // input report is shorter than a reply sends nothing.
    bool TakeInputReport(std::uint8_t* report, std::size_t length);
    std::size_t QueuedReplies() const { return queued_ + staleReplies_; }

    // Faults.
    // Pulling the key out loses the replies the driver still held for it.
    void Unplug() {
        plugged_ = false;
        queued_ = 0;
        staleReplies_ = 0;
    }
    void Replug() {
        if (!plugged_) connection_ = NextConnection();
        plugged_ = true;
        CancelScheduledFault();
    }
    void SetSilent(bool silent) { silent_ = silent; }
    // A key that stops taking output reports, as a device that no longer
    // polls its output endpoint: a write then never completes.
    void SetTakingWrites(bool on) { takingWrites_ = on; }

    // Faults that strike later: the key takes `exchanges` more output
    // reports as usual, and the fault strikes on the one after. Unplugging
    // fails that report; falling silent takes it (a write is stored) but
    // answers neither it nor any after; not taking writes leaves it and every
    // one after untaken; refusing writes answers every cell write from it on
    // with another byte and stores nothing (RefuseAllWrites(false) ends it).
    void UnplugAfter(int exchanges) { ScheduleFault(Fault::Unplug, exchanges); }
    void SilentAfter(int exchanges) { ScheduleFault(Fault::Silence, exchanges); }
    void StopTakingWritesAfter(int exchanges) { ScheduleFault(Fault::StopTakingWrites, exchanges); }
    void RefuseWritesAfter(int exchanges) { ScheduleFault(Fault::RefuseWrites, exchanges); }
    void QueueStaleReplies(int count) { staleReplies_ += count; }
    // Every read then gets a reply with a foreign sequence number; their
    // answers count 1, 2, 3, ... from here on.
    void SetForeignRepliesOnly(bool on) {
        foreignOnly_ = on;
        foreignCount_ = 0;
    }
    void RefuseWritesTo(std::uint8_t address) { refused_[address % kCellCount] = true; }
    void RefuseAllWrites(bool on) { refuseAll_ = on; }

    // Where the key keeps its memory (a file, between runs). A write that
    // changes a cell is stored only once the store has kept the cells with
    // that change; a store that cannot keep them refuses the write as a
    // refused cell does: the cell keeps its old value and the echo differs.
    // Without a store every write is kept.
    using CellStore = std::function<bool(const KeyContents& after)>;
    void SetCellStore(CellStore store) { store_ = std::move(store); }

    // Inspection.
    bool plugged() const { return plugged_; }
    bool takingWrites() const { return takingWrites_; }
    const DeviceConfig& config() const { return config_; }
    const KeyContents& contents() const { return contents_; }
    KeyContents& contents() { return contents_; }
    int exchanges() const { return exchanges_; }  // output reports taken
    // A number of its own for each time the key is attached (made, or
    // plugged back in after Unplug): no two attachments of any keys of the
    // process share one, as no two connections of devices do.
    std::uint64_t connection() const { return connection_; }

private:
    enum class Fault : std::uint8_t { None, Unplug, Silence, StopTakingWrites, RefuseWrites };
    void ScheduleFault(Fault fault, int exchanges);
    void CancelScheduledFault() {
        scheduledFault_ = Fault::None;
        faultCountdown_ = -1;
    }
    std::uint8_t Answer(const DecodedFrame& frame);
    bool StoreCell(std::uint8_t address, std::uint8_t value);
    void Queue(std::uint8_t sequence, std::uint8_t answer);
    std::uint8_t NextNoise();
    static std::uint64_t NextConnection();

    KeyContents contents_;
    DeviceConfig config_;
    std::vector<std::uint8_t> ring_;  // kQueuedReports input reports
    std::size_t head_ = 0, queued_ = 0;
    std::uint8_t lastSequence_ = 0;
    std::uint32_t noiseState_;
    int exchanges_ = 0;
    Fault scheduledFault_ = Fault::None;
    int faultCountdown_ = -1;  // reports still taken before the fault strikes
    int staleReplies_ = 0;
    std::uint32_t foreignCount_ = 0;
    bool plugged_ = true, silent_ = false, foreignOnly_ = false, refuseAll_ = false;
    bool takingWrites_ = true;
    std::array<bool, kCellCount> refused_{};
    CellStore store_;
    std::uint64_t connection_ = NextConnection();
};

}  // namespace vkey
