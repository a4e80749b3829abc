// Once the key is discovered, an exchange must not touch the heap: the report
// buffers are sized at discovery. This binary replaces the global allocator
// to count every allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "in_process_transport.h"
#include "key_link.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

TEST(AllocationTest, TheCounterSeesAllocations) {
    const long before = allocations;
    static int* volatile probe;  // volatile: the pair must not be optimized away
    probe = new int(1);
    delete probe;
    EXPECT_EQ(before + 1, allocations);
}

TEST(AllocationTest, ExchangesAllocateNothingOnceTheKeyIsFound) {
    inproc::Reset();
    inproc::Devices().emplace_back(vkey::ProvisionedContents({1, 2, 3, 4}, "pw", "id", "login"));
    inproc::SetRecording(false);
    ASSERT_EQ(0x81E1, OpenKey(8));

    const long before = allocations;
    long answers = 0;
    for (int i = 0; i < 1000; ++i) {
        answers += ReadCell(static_cast<std::uint8_t>(i % 59));
        answers += WriteCell(58, static_cast<std::uint8_t>(i));
        answers += ReadSerialByte(static_cast<std::uint8_t>(1 + i % 4));
        answers += IsKeyPresent();
    }
    EXPECT_EQ(before, allocations);
    EXPECT_FALSE(LastExchangeFailed());
    EXPECT_GT(answers, 0);
}

TEST(AllocationTest, ReopeningTheSameKeyReusesTheBuffers) {
    inproc::Reset();
    inproc::Devices().emplace_back(vkey::FactoryInitialContents({1, 2, 3, 4}));
    inproc::SetRecording(false);
    ASSERT_EQ(0x81E1, OpenKey(8));
    const long before = allocations;
    for (int i = 0; i < 50; ++i) ASSERT_EQ(0x81E1, OpenKey(8));
    EXPECT_EQ(before, allocations);
}
