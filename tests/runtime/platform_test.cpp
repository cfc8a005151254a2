#include "runtime/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// New, reused and grown blocks come zero-filled; growth keeps the bytes,
// and a growth that fails leaves the block as it was. Destroying the heap
// releases what it still holds (AddressSanitizer would report a leak).
TEST(PlatformHeap, BlocksComeZeroFilledWhetherNewReusedOrGrown) {
    PlatformHeap* heap = PlatformHeapCreate(4096);
    ASSERT_NE(heap, nullptr);
    auto* block = static_cast<unsigned char*>(PlatformHeapAllocate(heap, 100));
    std::memset(block, 0xAB, 100);
    EXPECT_TRUE(PlatformHeapFree(heap, block));
    block = static_cast<unsigned char*>(PlatformHeapAllocate(heap, 100));
    EXPECT_EQ(block[0] | block[99], 0);
    std::memset(block, 0xAB, 100);
    block = static_cast<unsigned char*>(PlatformHeapReAllocate(heap, block, 5000));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(block[i], i < 100 ? 0xAB : 0) << i;
    PlatformHeapFailAfter(heap, 0);
    EXPECT_EQ(PlatformHeapReAllocate(heap, block, 9000), nullptr);
    EXPECT_TRUE(block[99] == 0xAB && PlatformHeapLiveBytes(heap) == 5000u);
    PlatformHeapFailAfter(heap, -1);
    ASSERT_NE(PlatformHeapAllocate(heap, 64), nullptr);
    PlatformHeapDestroy(heap);
}

TEST(PlatformAddressSpace, RoomForABlockThatFitsButNotForMoreThanTheAddressSpace) {
    EXPECT_TRUE(PlatformAddressSpaceRoom(size_t{64} << 20));
    EXPECT_FALSE(PlatformAddressSpaceRoom(SIZE_MAX / 2 + 1)); // half of all addresses
}

// Two threads that each count a shared number up under the lock, entered
// twice, lose no step.
TEST(ReentrantLock, OwnerMayEnterAgainAndOthersWaitTheirTurn) {
    static ReentrantLock lock{};
    static std::atomic<int> count{0}, done{0};
    LockInit(&lock);
    auto countUp = [] {
        for (int i = 0; i < 20000; ++i) {
            LockGuard outer(&lock);
            LockGuard inner(&lock);
            count.store(count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        }
        ++done;
    };
    std::thread first(countUp), second(countUp);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (done < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (done < 2) {
        first.detach();
        second.detach();
        FAIL() << "the counting threads never finished: stuck at the lock";
    }
    first.join();
    second.join();
    EXPECT_EQ(count.load(), 40000);
    LockDestroy(&lock);
}

} // namespace
