#include "runtime/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// New, reused and grown blocks come zero-filled; growth keeps the bytes.
TEST(PlatformHeap, BlocksComeZeroFilledWhetherNewReusedOrGrown) {
    PlatformHeap* heap = PlatformHeapCreate(4096);
    ASSERT_NE(heap, nullptr);
    auto* block = static_cast<unsigned char*>(PlatformHeapAllocate(heap, 100));
    std::memset(block, 0xAB, 100);
    EXPECT_TRUE(PlatformHeapFree(heap, block));
    block = static_cast<unsigned char*>(PlatformHeapAllocate(heap, 100));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(block[i], 0) << i;
    std::memset(block, 0xAB, 100);
    block = static_cast<unsigned char*>(PlatformHeapReAllocate(heap, block, 5000));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(block[i], i < 100 ? 0xAB : 0) << i;
    EXPECT_EQ(PlatformHeapLiveBytes(heap), 5000u);
    PlatformHeapFailAfter(heap, 0); // a growth that fails leaves the block as it was
    EXPECT_EQ(PlatformHeapReAllocate(heap, block, 9000), nullptr);
    EXPECT_TRUE(block[99] == 0xAB && PlatformHeapLiveBytes(heap) == 5000u);
    PlatformHeapFailAfter(heap, -1);
    EXPECT_TRUE(PlatformHeapFree(heap, block));
    EXPECT_TRUE(PlatformHeapFree(heap, nullptr));
    EXPECT_EQ(PlatformHeapLiveBytes(heap), 0u);
    // Destroying the heap releases what it still holds (AddressSanitizer
    // would report a leak).
    ASSERT_NE(PlatformHeapAllocate(heap, 64), nullptr);
    PlatformHeapDestroy(heap);
}

TEST(PlatformAddressSpace, RoomForABlockThatFitsButNotForMoreThanTheAddressSpace) {
    EXPECT_TRUE(PlatformAddressSpaceRoom(size_t{64} << 20));
    // More than any process's address space (half of all addresses).
    EXPECT_FALSE(PlatformAddressSpaceRoom(SIZE_MAX / 2 + 1));
    // Asking takes nothing: in a 32-bit process (2 or 4 GB), blocks that
    // would fill its address space twice over if they were kept. (A 64-bit
    // one has too much of it to fill cheaply: Wine takes a second per 16 TB.)
    if (sizeof(void*) == 4) {
        for (int i = 0; i < 32; ++i)
            ASSERT_TRUE(PlatformAddressSpaceRoom(size_t{256} << 20)) << i;
    }
}

// The other thread is seen at the lock before the owner leaves it once; had
// that let it in, it would be in after the pause. A lock that is not
// re-entrant hangs at the second enter, and the test fails at its time-out.
TEST(ReentrantLock, OwnerMayEnterAgainWhileOthersWait) {
    static ReentrantLock lock{};
    static std::atomic<int> other{0}; // 1: at the lock, 2: inside
    LockInit(&lock);
    LockEnter(&lock);
    LockEnter(&lock);
    std::thread waiter([] {
        other = 1;
        LockGuard guard(&lock);
        other = 2;
    });
    while (other == 0)
        ThreadYield();
    LockLeave(&lock);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(other.load(), 1); // still held once
    LockLeave(&lock);
    waiter.join();
    EXPECT_EQ(other.load(), 2);
    LockDestroy(&lock);
}

} // namespace
