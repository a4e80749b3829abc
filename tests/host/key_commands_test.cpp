// The key's commands as the key receives them, and the presence test.
#include "link_fixture.h"

using inproc::WireEventKind;
using KeyCommandsTest = LinkTest;

TEST_F(KeyCommandsTest, CellAddressesEndAt58) {
    vkey::VirtualKey& key = AttachAndOpen();
    key.contents().cells[58] = 0x58;
    EXPECT_EQ(0x58, ReadCell(58));
    EXPECT_EQ(0x17, WriteCell(58, 0x17));
    EXPECT_EQ(0x17, key.contents().cells[58]);
    EXPECT_EQ(2u, inproc::SentFrames().size());
    EXPECT_EQ(58, inproc::SentFrames()[0].address);
    EXPECT_EQ(58, inproc::SentFrames()[1].address);
}

// A command the key does not have is refused without an exchange, and the
// refusal is a failed exchange: the success of the exchange before it never
// shows through LastExchangeFailed().
TEST_F(KeyCommandsTest, CommandsOutOfRangeAreRefusedAsFailedExchanges) {
    vkey::VirtualKey& key = AttachAndOpen();
    key.contents().cells[16] = 0x16;
    const struct {
        const char* name;
        std::uint8_t (*command)();
    } refused[] = {
        {"ReadCell(59)", [] { return ReadCell(59); }},
        {"ReadCell(255)", [] { return ReadCell(255); }},
        {"WriteCell(59)", [] { return WriteCell(59, 1); }},
        {"WriteCell(200)", [] { return WriteCell(200, 1); }},
        {"ReadSerialByte(0)", [] { return ReadSerialByte(0); }},
        {"ReadSerialByte(5)", [] { return ReadSerialByte(5); }},
        {"ReadSerialByte(255)", [] { return ReadSerialByte(255); }},
    };
    for (const auto& command : refused) {
        SCOPED_TRACE(command.name);
        ASSERT_EQ(0x16, ReadCell(16));
        ASSERT_FALSE(LastExchangeFailed());
        inproc::ClearEvents();
        EXPECT_EQ(0, command.command());
        EXPECT_TRUE(LastExchangeFailed());
        EXPECT_TRUE(inproc::Events().empty());
    }
    EXPECT_EQ(0, key.contents().cells[58]);
}

TEST_F(KeyCommandsTest, CommandBytesBeforeScrambling) {
    AttachAndOpen();
    ReadCell(16);
    WriteCell(51, 0x00);
    ReadSerialByte(1);
    ReadSerialByte(4);
    const std::vector<vkey::DecodedFrame> frames = inproc::SentFrames();
    ASSERT_EQ(4u, frames.size());
    EXPECT_EQ((std::array<std::uint8_t, 3>{0x80, 0xB0, 0x10}), frames[0].plain);
    EXPECT_EQ((std::array<std::uint8_t, 3>{0xC0, 0xD3, 0x00}), frames[1].plain);
    EXPECT_EQ((std::array<std::uint8_t, 3>{0x04, 0x00, 0x00}), frames[2].plain);
    EXPECT_EQ((std::array<std::uint8_t, 3>{0x07, 0x00, 0x00}), frames[3].plain);
}

TEST_F(KeyCommandsTest, CellsAndSerialRoundTrip) {
    vkey::VirtualKey& key =
        AttachAndOpen(vkey::ProvisionedContents({0x0A, 0x00, 0xFF, 0x81}, "", "", ""));
    EXPECT_EQ(0x0A, ReadSerialByte(1));
    EXPECT_EQ(0x00, ReadSerialByte(2));
    EXPECT_EQ(0xFF, ReadSerialByte(3));
    EXPECT_EQ(0x81, ReadSerialByte(4));
    for (std::uint8_t a = 0; a < kKeyCellCount; ++a) EXPECT_EQ(a ^ 0x5C, WriteCell(a, a ^ 0x5C));
    for (std::uint8_t a = 0; a < kKeyCellCount; ++a) {
        EXPECT_EQ(a ^ 0x5C, key.contents().cells[a]);
        EXPECT_EQ(a ^ 0x5C, ReadCell(a));
    }
    key.contents().cells[30] = 0xFF;  // blank cells are ordinary values
    EXPECT_EQ(0xFF, ReadCell(30));
    EXPECT_FALSE(LastExchangeFailed());
}

TEST_F(KeyCommandsTest, RefusedWriteEchoesSomethingElse) {
    vkey::VirtualKey& key = AttachAndOpen();
    key.RefuseWritesTo(44);
    EXPECT_NE(0x31, WriteCell(44, 0x31));
    EXPECT_FALSE(LastExchangeFailed());  // the key did answer
    EXPECT_EQ(0, key.contents().cells[44]);
}

TEST_F(KeyCommandsTest, PresenceWithoutAKeySendsNothing) {
    EXPECT_EQ(0, OpenKey(8));
    EXPECT_NE(0, IsKeyPresent());
    EXPECT_EQ(0, inproc::Count(WireEventKind::Write));
}

TEST_F(KeyCommandsTest, PresenceUsesACommandTheKeyAnswers) {
    AttachAndOpen();
    EXPECT_EQ(0, IsKeyPresent());
    ASSERT_EQ(1u, inproc::SentFrames().size());
    // The virtual key, like a real one, ignores commands it does not know;
    // the status exchange must be one of its own.
    EXPECT_EQ(vkey::FrameKind::ReadSerial, inproc::SentFrames()[0].kind);
}

TEST_F(KeyCommandsTest, PresenceFailsForEveryKindOfSilence) {
    vkey::VirtualKey& key = AttachAndOpen();
    key.SetSilent(true);
    EXPECT_NE(0, IsKeyPresent());
    key.SetSilent(false);
    EXPECT_EQ(0, IsKeyPresent());  // rediscovered and answering again

    key.SetForeignRepliesOnly(true);
    EXPECT_NE(0, IsKeyPresent());
    key.SetForeignRepliesOnly(false);

    key.UnplugAfter(0);
    EXPECT_NE(0, IsKeyPresent());
    EXPECT_EQ(1, inproc::Count(WireEventKind::WriteFailed));
}
