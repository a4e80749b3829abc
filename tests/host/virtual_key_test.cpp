// The virtual key's own behaviour: the tests of the key link rely on it, so
// what it refuses and how it answers is checked here against hand-built
// frames, independent of the program's framing.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

#include "virtual_key.h"

namespace {

// An output report as the firmware expects it, built by hand.
std::array<std::uint8_t, 65> Frame(std::uint8_t sequence, std::uint8_t command, std::uint8_t arg1,
                                   std::uint8_t arg2) {
    std::array<std::uint8_t, 65> report{};
    report[1] = sequence;
    for (int i = 0; i < 4; ++i)
        report[2 + i] = static_cast<std::uint8_t>(vkey::kFirmwareMask[i] ^ (sequence + i));
    const std::array<std::uint8_t, 3> plain{command, arg1, arg2};
    for (int i = 0; i < 3; ++i)
        report[6 + i] = static_cast<std::uint8_t>(plain[i] ^ (sequence + 4 + i));
    return report;
}

struct Reply {
    bool arrived;
    std::uint8_t sequence;
    std::uint8_t noise;
    std::uint8_t answer;
};

Reply Take(vkey::VirtualKey& key) {
    std::array<std::uint8_t, 65> report{};
    const bool arrived = key.TakeInputReport(report.data(), report.size());
    return {arrived, report[1], report[2], static_cast<std::uint8_t>(report[3] ^ report[2])};
}

bool Send(vkey::VirtualKey& key, const std::array<std::uint8_t, 65>& report) {
    return key.AcceptOutputReport(report.data(), report.size());
}

}  // namespace

TEST(VirtualKeyTest, AnswersReadsWritesAndSerialWithTheSequenceEchoed) {
    vkey::VirtualKey key(vkey::ProvisionedContents({9, 8, 7, 6}, "pw", "id", "login"));
    ASSERT_TRUE(Send(key, Frame(5, 0x80, 16 - 0x60, 0)));  // read cell 16
    Reply reply = Take(key);
    EXPECT_TRUE(reply.arrived);
    EXPECT_EQ(5, reply.sequence);
    EXPECT_EQ('i', reply.answer);

    ASSERT_TRUE(Send(key, Frame(6, 0xC0, static_cast<std::uint8_t>(58 - 0x60), 0x5A)));
    reply = Take(key);
    EXPECT_EQ(6, reply.sequence);
    EXPECT_EQ(0x5A, reply.answer);
    EXPECT_EQ(0x5A, key.contents().cells[58]);

    ASSERT_TRUE(Send(key, Frame(7, 7, 0, 0)));  // serial byte 4
    EXPECT_EQ(6, Take(key).answer);
    EXPECT_FALSE(Take(key).arrived);
}

TEST(VirtualKeyTest, IgnoresFramesItCannotRead) {
    vkey::VirtualKey key;
    std::array<std::uint8_t, 65> badMask = Frame(3, 0x80, 0, 0);
    badMask[4] ^= 1;
    EXPECT_TRUE(Send(key, badMask));  // the write itself succeeds
    std::array<std::uint8_t, 65> badReportId = Frame(3, 0x80, 0, 0);
    badReportId[0] = 1;
    EXPECT_TRUE(Send(key, badReportId));
    EXPECT_TRUE(Send(key, Frame(4, 0x42, 0, 0)));  // not a command of the key
    EXPECT_FALSE(Take(key).arrived);
    EXPECT_EQ(0, key.contents().cells[0]);
}

TEST(VirtualKeyTest, RefusesReportsOfTheWrongLength) {
    vkey::DeviceConfig config;
    config.inputReportLength = 9;
    config.outputReportLength = 9;
    vkey::VirtualKey key(vkey::FactoryInitialContents({1, 2, 3, 4}), config);
    const std::array<std::uint8_t, 65> frame = Frame(1, 0x80, 40 - 0x60, 0);
    EXPECT_FALSE(key.AcceptOutputReport(frame.data(), 65));
    ASSERT_TRUE(key.AcceptOutputReport(frame.data(), 9));
    std::array<std::uint8_t, 65> report{};
    EXPECT_FALSE(key.TakeInputReport(report.data(), 65));
    ASSERT_TRUE(key.TakeInputReport(report.data(), 9));
    EXPECT_EQ(vkey::kFactoryMark, report[3] ^ report[2]);
}

// A key whose input report cannot hold a reply (shorter than 4 bytes, or
// none at all) sends none, whatever fault asks for one, and writes nothing
// past the report it is handed.
TEST(VirtualKeyTest, InputReportTooShortForAReplyGetsNone) {
    for (const std::uint16_t inputLength : {0, 1, 3}) {
        SCOPED_TRACE(inputLength);
        vkey::DeviceConfig config;
        config.inputReportLength = inputLength;
        config.outputReportLength = 9;
        vkey::VirtualKey key(vkey::FactoryInitialContents({1, 2, 3, 4}), config);
        const std::array<std::uint8_t, 65> frame = Frame(1, 0x80, 40 - 0x60, 0);
        EXPECT_TRUE(key.AcceptOutputReport(frame.data(), 9));
        key.QueueStaleReplies(1);
        std::array<std::uint8_t, 8> report;
        report.fill(0xAA);
        EXPECT_FALSE(key.TakeInputReport(report.data(), inputLength));
        key.SetForeignRepliesOnly(true);
        EXPECT_FALSE(key.TakeInputReport(report.data(), inputLength));
        for (std::uint8_t byte : report) EXPECT_EQ(0xAA, byte);
    }
}

TEST(VirtualKeyTest, NoiseVariesFromReplyToReply) {
    vkey::VirtualKey key;
    std::set<std::uint8_t> noises;
    for (int i = 0; i < 16; ++i) {
        Send(key, Frame(static_cast<std::uint8_t>(i), 0x80, 40 - 0x60, 0));
        const Reply reply = Take(key);
        EXPECT_EQ(vkey::kFactoryMark, reply.answer);
        noises.insert(reply.noise);
    }
    EXPECT_GT(noises.size(), 8u);
}

TEST(VirtualKeyTest, FaultsBehaveAsTheirNamesSay) {
    vkey::VirtualKey key;
    key.RefuseWritesTo(3);
    Send(key, Frame(1, 0xC0, 3 - 0x60, 0x11));
    EXPECT_NE(0x11, Take(key).answer);
    EXPECT_EQ(0, key.contents().cells[3]);

    key.SetSilent(true);
    Send(key, Frame(2, 0x80, 0, 0));
    EXPECT_FALSE(Take(key).arrived);
    key.SetSilent(false);

    key.QueueStaleReplies(2);
    Send(key, Frame(3, 0x80, 40 - 0x60, 0));
    EXPECT_EQ(2, Take(key).sequence);
    EXPECT_EQ(2, Take(key).sequence);
    EXPECT_EQ(3, Take(key).sequence);

    key.UnplugAfter(1);
    EXPECT_TRUE(Send(key, Frame(4, 0x80, 0, 0)));
    EXPECT_FALSE(Send(key, Frame(5, 0x80, 0, 0)));
    EXPECT_FALSE(key.plugged());
    EXPECT_FALSE(Take(key).arrived);
    key.Replug();
    EXPECT_TRUE(Send(key, Frame(6, 0x80, 40 - 0x60, 0)));
    EXPECT_EQ(6, Take(key).sequence);
}

// Faults that strike later: n reports are taken as usual, the fault strikes
// on the one after.
TEST(VirtualKeyTest, ScheduledFaultsStrikeOnTheReportAfterN) {
    vkey::VirtualKey key;
    key.SilentAfter(1);
    EXPECT_TRUE(Send(key, Frame(1, 0x80, 40 - 0x60, 0)));
    EXPECT_EQ(1, Take(key).sequence);
    EXPECT_TRUE(Send(key, Frame(2, 0xC0, 3 - 0x60, 0x33)));  // taken and stored...
    EXPECT_FALSE(Take(key).arrived);                         // ...but not answered
    EXPECT_EQ(0x33, key.contents().cells[3]);
    EXPECT_TRUE(Send(key, Frame(3, 0x80, 3 - 0x60, 0)));
    EXPECT_FALSE(Take(key).arrived);
    key.SetSilent(false);

    key.StopTakingWritesAfter(1);
    EXPECT_TRUE(key.takingWrites());
    EXPECT_TRUE(Send(key, Frame(4, 0xC0, 4 - 0x60, 0x44)));
    EXPECT_FALSE(key.takingWrites()) << "the report just taken was the last";
    EXPECT_FALSE(Send(key, Frame(5, 0xC0, 5 - 0x60, 0x55)));
    EXPECT_EQ(4, Take(key).sequence);
    EXPECT_FALSE(Take(key).arrived);
    EXPECT_EQ(0, key.contents().cells[5]);
    key.SetTakingWrites(true);
    EXPECT_TRUE(Send(key, Frame(6, 0x80, 4 - 0x60, 0)));
    EXPECT_EQ(0x44, Take(key).answer);

    key.StopTakingWritesAfter(0);
    EXPECT_FALSE(key.takingWrites());
    key.SetTakingWrites(true);

    key.RefuseWritesAfter(1);
    EXPECT_TRUE(Send(key, Frame(8, 0xC0, 6 - 0x60, 0x66)));
    EXPECT_EQ(0x66, Take(key).answer);
    EXPECT_TRUE(Send(key, Frame(9, 0xC0, 7 - 0x60, 0x77)));  // taken, refused
    EXPECT_NE(0x77, Take(key).answer);
    EXPECT_EQ(0, key.contents().cells[7]);
    EXPECT_TRUE(Send(key, Frame(10, 0x80, 6 - 0x60, 0)));  // reads still answered
    EXPECT_EQ(0x66, Take(key).answer);
    key.RefuseAllWrites(false);
    EXPECT_TRUE(Send(key, Frame(11, 0xC0, 7 - 0x60, 0x77)));
    EXPECT_EQ(0x77, Take(key).answer);

    key.UnplugAfter(0);
    key.Unplug();
    key.Replug();  // a replugged key forgets what was scheduled
    EXPECT_TRUE(Send(key, Frame(7, 0x80, 0, 0)));
    EXPECT_EQ(7, Take(key).sequence);
}

TEST(VirtualKeyTest, KeepsAtMost32RepliesDroppingTheOldest) {
    vkey::VirtualKey key;
    for (int i = 0; i < 40; ++i) Send(key, Frame(static_cast<std::uint8_t>(i), 0x80, 0, 0));
    EXPECT_EQ(8, Take(key).sequence);
    EXPECT_EQ(31u, key.QueuedReplies());
}

// A key that keeps its memory in a store (a file) stores a write only once
// the store has kept the cells with it. A store that cannot keep them
// refuses the write before the key answers: the cell keeps its old value,
// and the key answers with an echo that differs, as for a refused cell.
TEST(VirtualKeyTest, AWriteTheCellStoreCannotKeepIsRefused) {
    vkey::VirtualKey key(vkey::ProvisionedContents({1, 2, 3, 4}, "pw", "id", "login"));
    std::vector<vkey::KeyContents> kept;
    bool keeps = true;
    key.SetCellStore([&](const vkey::KeyContents& after) {
        kept.push_back(after);
        return keeps;
    });
    const struct {
        const char* what;
        bool keeps;
        std::uint8_t address, value;
        bool stored;        // the cell holds the value afterwards
        std::size_t asked;  // times the store was asked, in all
    } writes[] = {
        {"a change the store keeps", true, 28, 'X', true, 1},
        {"a change the store cannot keep", false, 29, 'Y', false, 2},
        {"the same value again: nothing to keep", false, 28, 'X', true, 2},
        {"the store keeps again", true, 29, 'Y', true, 3},
    };
    std::uint8_t sequence = 1;
    for (const auto& write : writes) {
        SCOPED_TRACE(write.what);
        keeps = write.keeps;
        const std::uint8_t before = key.contents().cells[write.address];
        ASSERT_TRUE(Send(key, Frame(sequence, 0xC0, write.address - 0x60, write.value)));
        const Reply reply = Take(key);
        EXPECT_TRUE(reply.arrived) << "the key answers either way";
        EXPECT_EQ(sequence, reply.sequence);
        EXPECT_EQ(write.stored, reply.answer == write.value) << "the echo tells";
        EXPECT_EQ(write.stored ? write.value : before, key.contents().cells[write.address]);
        ASSERT_EQ(write.asked, kept.size());
        ++sequence;
    }
    // What the store was asked to keep: the cells with each change, and
    // nothing else changed.
    vkey::KeyContents expected = vkey::ProvisionedContents({1, 2, 3, 4}, "pw", "id", "login");
    expected.cells[28] = 'X';
    EXPECT_EQ(expected.cells, kept[0].cells);
    expected.cells[29] = 'Y';
    EXPECT_EQ(expected.cells, kept[1].cells);
    EXPECT_EQ(expected.cells, key.contents().cells);

    // Reads never ask the store.
    ASSERT_TRUE(Send(key, Frame(sequence, 0x80, 29 - 0x60, 0)));
    EXPECT_EQ('Y', Take(key).answer);
    EXPECT_EQ(3u, kept.size());
}
