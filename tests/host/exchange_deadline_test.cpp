// One time limit per exchange: 3000 ms from the start of its write, shared
// by the write, every read and the pauses between them, whatever the key
// (or another program on it) sends. Played out on the fake clock.
#include "fake_clock.h"
#include "key_transport.h"
#include "link_fixture.h"

namespace {

using inproc::WireEventKind;
using ExchangeDeadlineTest = LinkTest;

struct LateKey {
    const char* name;
    std::uint32_t writeDelayMs;
    int staleReplies;  // foreign replies queued before ours
    bool foreignOnly;  // every read gets a foreign reply
    bool silent;       // ours never comes
    std::vector<std::uint32_t> readDelaysMs;
    bool answered;            // a reply of ours within the limit
    std::uint64_t elapsedMs;  // on the fake clock, from the write to the exchange's end
    int reads;
};

std::vector<std::uint32_t> Repeat(std::uint32_t delay, int times, std::uint32_t last) {
    std::vector<std::uint32_t> delays(times, delay);
    delays.push_back(last);
    return delays;
}

const LateKey kLateKeys[] = {
    // Another program's replies, one every 2.9 s, never ours: two reads.
    {"foreign replies every 2.9 s", 0, 0, true, false, std::vector<std::uint32_t>(102, 2900), false,
     3000, 2},
    // The write is taken only after 2.9 s, and no reply comes.
    {"write taken after 2.9 s, then silence", 2900, 0, false, true, {}, false, 3000, 1},
    // Ours comes 2.9 s after the write, behind 30 foreign ones.
    {"ours at 2.9 s after 30 foreign", 0, 30, false, false, Repeat(0, 30, 2900 - 30 * 2), true,
     2900, 31},
    // Ours comes just too late: the exchange ends at its limit.
    {"ours at 3.001 s", 0, 0, false, false, {3001}, false, 3000, 1},
    // 101 foreign replies at once, then ours: every read fits the limit.
    {"ours after 101 foreign at once", 0, 101, false, false, {}, true, 101 * 2, 102},
};

TEST_F(ExchangeDeadlineTest, OneLimitForTheWholeExchange) {
    for (const LateKey& late : kLateKeys) {
        SCOPED_TRACE(late.name);
        inproc::Reset();
        vkey::VirtualKey& key = AttachAndOpen(vkey::ProvisionedContents({1, 2, 3, 4}, "k", "", ""));
        key.SetForeignRepliesOnly(late.foreignOnly);
        key.SetSilent(late.silent);
        key.QueueStaleReplies(late.staleReplies);
        inproc::SetWriteDelay(late.writeDelayMs);
        inproc::QueueReadDelays(late.readDelaysMs);

        const std::uint64_t start = fakeclock::Now();
        const std::uint8_t answer = ReadCell(40);
        EXPECT_EQ(late.elapsedMs, fakeclock::Now() - start);
        EXPECT_EQ(!late.answered, LastExchangeFailed());
        EXPECT_EQ(late.answered ? 1 : 0, keyLink.linkState);
        if (late.answered) {
            EXPECT_EQ('k', answer);
        }
        EXPECT_EQ(late.reads,
                  inproc::Count(WireEventKind::Read) + inproc::Count(WireEventKind::ReadTimeout));

        // The write had the whole limit; each read only what was left of it.
        std::uint64_t before = start;
        for (const inproc::WireEvent& event : inproc::Events()) {
            if (event.kind == WireEventKind::Write) {
                EXPECT_EQ(kExchangeLimitMs, event.limitMs);
            }
            if (event.kind == WireEventKind::Read || event.kind == WireEventKind::ReadTimeout) {
                EXPECT_EQ(kExchangeLimitMs - (before - start), event.limitMs);
            }
            before = event.endedAt;
        }
    }
}

// A limit that has passed while the key link paused is not handed to the
// transport as a wait of 0 ms: the exchange ends as a read timeout does,
// and the next exchange finds the key again.
TEST_F(ExchangeDeadlineTest, LimitPassedBetweenReadsEndsTheExchangeAsATimeout) {
    vkey::VirtualKey& key = AttachAndOpen(vkey::ProvisionedContents({1, 2, 3, 4}, "k", "", ""));
    key.QueueStaleReplies(1);
    inproc::QueueReadDelays({3000 - 1});  // the pause after it ends past the limit
    ReadCell(40);
    EXPECT_TRUE(LastExchangeFailed());
    EXPECT_EQ(0, keyLink.linkState);
    EXPECT_EQ(kOpenedFlagValue, keyLink.openedFlag);
    EXPECT_EQ(1, inproc::Count(WireEventKind::Read));
    EXPECT_EQ(0, inproc::Count(WireEventKind::ReadTimeout));
    for (const inproc::WireEvent& event : inproc::Events()) {
        if (event.kind == WireEventKind::Read) {
            EXPECT_EQ(kExchangeLimitMs, event.limitMs);
        }
    }

    EXPECT_EQ('k', ReadCell(40));
    EXPECT_FALSE(LastExchangeFailed());
    EXPECT_EQ(1, inproc::Count(WireEventKind::Discovery));  // found again
}

}  // namespace
