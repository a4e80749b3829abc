// Framing, scrambling and reply matching, asserted on the bytes on the wire.
#include <algorithm>
#include <array>

#include "link_fixture.h"

using inproc::WireEventKind;

namespace {

const std::vector<std::uint8_t>& LastWrite() {
    const std::vector<inproc::WireEvent>& events = inproc::Events();
    for (auto it = events.rbegin(); it != events.rend(); ++it)
        if (it->kind == WireEventKind::Write) return it->report;
    static const std::vector<std::uint8_t> none;
    return none;
}

}  // namespace

using FramingTest = LinkTest;

TEST_F(FramingTest, WriteOf0x41ToCell40WithSequence1) {
    vkey::VirtualKey& key = AttachAndOpen();
    WriteCell(40, 0x41);
    const std::vector<std::uint8_t>& frame = LastWrite();
    ASSERT_EQ(65u, frame.size());
    const std::array<std::uint8_t, 9> expected{
        0x00, 0x01, 0x3C ^ 0x01, 0xA7 ^ 0x02, 0x19 ^ 0x03, 0xE2 ^ 0x04, 0xC5, 0xCE, 0x46};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame.begin()));
    for (std::size_t i = 9; i < frame.size(); ++i) EXPECT_EQ(0, frame[i]) << "byte " << i;
    EXPECT_EQ(0x41, key.contents().cells[40]);
}

TEST_F(FramingTest, CommandWithBit7ClearSendsBothArgumentsScrambled) {
    AttachAndOpen();
    for (int i = 0; i < 8; ++i) ReadCell(0);
    Transact(4, 0, 0);
    const std::vector<std::uint8_t>& frame = LastWrite();
    EXPECT_EQ(9, frame[1]);
    EXPECT_EQ(0x09, frame[6]);
    EXPECT_EQ(0x0E, frame[7]);
    EXPECT_EQ(0x0F, frame[8]);
    // Both arguments travel for such commands.
    Transact(4, 0x12, 0x34);
    EXPECT_EQ(0x12, inproc::SentFrames().back().plain[1]);
    EXPECT_EQ(0x34, inproc::SentFrames().back().plain[2]);
}

TEST_F(FramingTest, SequenceNumberWrapsAndRunsOnAcrossReopening) {
    AttachAndOpen();
    std::vector<std::uint8_t> sequences;
    for (int frame = 1; frame <= 257; ++frame) {
        if (frame == 100) OpenKey(8);  // reopening does not reset it
        ReadCell(1);
        sequences.push_back(LastWrite()[1]);
    }
    EXPECT_EQ(1, sequences[0]);
    EXPECT_EQ(255, sequences[254]);
    EXPECT_EQ(0, sequences[255]);
    EXPECT_EQ(1, sequences[256]);
    EXPECT_FALSE(LastExchangeFailed());  // the key matched sequence 0 as any other
}

TEST_F(FramingTest, NothingIsSentWhileTheKeyIsNotOpened) {
    vkey::VirtualKey& key = Attach(vkey::ProvisionedContents({9, 9, 9, 9}, "pw", "id", "login"));
    EXPECT_EQ(0, Transact(4, 0, 0));  // the last reply value, 0 at start
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, key.exchanges());

    ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ('p', ReadCell(40));
    // The key is pulled and an opening finds nothing: the last reply comes
    // back without a frame, and the sequence number does not advance.
    key.Unplug();
    EXPECT_EQ(0, OpenKey(8));
    EXPECT_EQ('p', ReadCell(41));
    EXPECT_TRUE(LastExchangeFailed());
    key.Replug();
    ASSERT_EQ(0x81E1, OpenKey(8));
    inproc::ClearEvents();
    ReadCell(41);
    EXPECT_EQ(2, LastWrite()[1]);
}

TEST_F(FramingTest, AMatchingFirstReplyCostsNoPause) {
    vkey::VirtualKey& key = AttachAndOpen();
    key.contents().cells[7] = 0xA5;
    EXPECT_EQ(0xA5, ReadCell(7));
    EXPECT_EQ((std::vector{WireEventKind::Write, WireEventKind::Read}), Kinds());
    // The answer hides under the varying byte 2 of the reply.
    EXPECT_NE(0, inproc::Events()[1].report[2] | inproc::Events()[1].report[3]);
}

TEST_F(FramingTest, StaleRepliesAreReadAndDropped) {
    vkey::VirtualKey& key = AttachAndOpen();
    key.contents().cells[20] = 0x5A;
    key.QueueStaleReplies(3);
    EXPECT_EQ(0x5A, ReadCell(20));
    EXPECT_FALSE(LastExchangeFailed());
    EXPECT_EQ(4, inproc::Count(WireEventKind::Read));
    EXPECT_EQ(3, inproc::Count(WireEventKind::Pause));
    EXPECT_EQ((std::vector{WireEventKind::Write, WireEventKind::Read, WireEventKind::Pause,
                           WireEventKind::Read, WireEventKind::Pause, WireEventKind::Read,
                           WireEventKind::Pause, WireEventKind::Read}),
              Kinds());
}

TEST_F(FramingTest, OnlyForeignRepliesCost102ReadsAndAreAFailure) {
    vkey::VirtualKey& key = AttachAndOpen();
    key.SetForeignRepliesOnly(true);  // the n-th foreign reply answers n
    const std::uint8_t answer = ReadCell(3);
    EXPECT_EQ(102, inproc::Count(WireEventKind::Read));
    EXPECT_EQ(101, inproc::Count(WireEventKind::Pause));
    EXPECT_EQ(1, inproc::Count(WireEventKind::Write));
    EXPECT_EQ(102, answer);  // from the 102nd report
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(1, keyLink.linkState);  // the key is there, it just never answered us

    key.SetForeignRepliesOnly(false);
    key.contents().cells[3] = 0x33;
    EXPECT_EQ(0x33, ReadCell(3));
    EXPECT_FALSE(LastExchangeFailed());
}

TEST_F(FramingTest, TimedOutReadKeepsTheOpenedFlagAndTheNextExchangeRediscovers) {
    vkey::VirtualKey& key = AttachAndOpen(vkey::ProvisionedContents({1, 1, 1, 1}, "", "", ""));
    key.SetSilent(true);
    ReadCell(16);
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, keyLink.linkState);
    EXPECT_EQ(kOpenedFlagValue, keyLink.openedFlag);
    EXPECT_EQ((std::vector{WireEventKind::Write, WireEventKind::ReadTimeout}), Kinds());

    key.SetSilent(false);
    key.contents().cells[16] = 'x';
    inproc::ClearEvents();
    EXPECT_EQ('x', ReadCell(16));
    EXPECT_FALSE(LastExchangeFailed());
    EXPECT_EQ((std::vector{WireEventKind::Discovery, WireEventKind::Write, WireEventKind::Read}),
              Kinds());
    EXPECT_EQ(1, keyLink.linkState);
}

TEST_F(FramingTest, FailedWriteIsAFailureAndTheLinkIsLost) {
    vkey::VirtualKey& key = AttachAndOpen();
    key.UnplugAfter(2);
    ReadCell(1);
    ReadCell(2);
    EXPECT_FALSE(LastExchangeFailed());
    ReadCell(3);
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, keyLink.linkState);
    EXPECT_EQ(kOpenedFlagValue, keyLink.openedFlag);
    // No key to rediscover: nothing is sent and 0 comes back.
    inproc::ClearEvents();
    EXPECT_EQ(0, ReadCell(4));
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ((std::vector{WireEventKind::Discovery}), Kinds());
}

TEST_F(FramingTest, SecondArgumentOfMemoryCommandsIsNotSent) {
    AttachAndOpen();
    Transact(0x80 | 16, 16, 0x77);
    const vkey::DecodedFrame frame = inproc::SentFrames().back();
    EXPECT_EQ(vkey::FrameKind::ReadCell, frame.kind);
    EXPECT_EQ(16, frame.address);
    EXPECT_EQ(16, frame.plain[2]);
}

// Whatever the transport made of the report buffers, no frame is built into
// one too short for it and no reply read from one: the exchange fails before
// a frame is built, and the sequence number stays where it was.
TEST_F(FramingTest, ReportBuffersTooShortForTheFramingAreRefused) {
    const struct {
        const char* name;
        std::size_t outputSize, inputSize;
        std::uint16_t outputLength, inputLength;
    } cases[] = {
        {"output report of 8 bytes", 8, 65, 8, 65},
        {"input report of 3 bytes", 65, 3, 65, 3},
        {"output buffer shorter than its length", 8, 65, 65, 65},
        {"input buffer shorter than its length", 65, 3, 65, 65},
        {"no buffers at all", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        inproc::Reset();
        vkey::VirtualKey& key = AttachAndOpen();
        key.contents().cells[40] = 'k';
        keyLink.outputReport = keyLink.outputReport.first(c.outputSize);
        keyLink.inputReport = keyLink.inputReport.first(c.inputSize);
        keyLink.outputReportLength = c.outputLength;
        keyLink.inputReportLength = c.inputLength;

        EXPECT_EQ(0, ReadCell(40));
        EXPECT_TRUE(LastExchangeFailed());
        EXPECT_NE(0, IsKeyPresent());
        EXPECT_TRUE(inproc::Events().empty());
        EXPECT_EQ(0, key.exchanges());

        ASSERT_EQ(0x81E1, OpenKey(8));  // sized again by the transport
        EXPECT_EQ('k', ReadCell(40));
        EXPECT_EQ(1, LastWrite()[1]) << "no frame was built before";
    }
}

// Before each read the sequence number of the frame before goes into byte 1
// of the input report, so a read that claims success but delivers nothing
// never passes for the reply. Here the buffer was zero-filled by a
// rediscovery just as the sequence number wraps to 0.
TEST_F(FramingTest, AReadThatDeliversNothingIsNeverTheReply) {
    vkey::VirtualKey& key = AttachAndOpen();
    key.contents().cells[40] = 'k';
    for (int i = 0; i < 255; ++i) ReadCell(0);
    ASSERT_EQ(0x81E1, OpenKey(8));
    ASSERT_EQ(65, std::ranges::count(keyLink.inputReport, 0));
    inproc::ClearEvents();

    inproc::SetUntouchedReads(1);
    EXPECT_EQ('k', ReadCell(40));
    EXPECT_FALSE(LastExchangeFailed());
    EXPECT_EQ(0, LastWrite()[1]);
    EXPECT_EQ((std::vector{WireEventKind::Write, WireEventKind::ReadUntouched, WireEventKind::Pause,
                           WireEventKind::Read}),
              Kinds());
}
