#include "runtime/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

TEST(PlatformHeap, BlocksAreZeroFilledAndGrowZeroFilled) {
    PlatformHeap* heap = PlatformHeapCreate(4096);
    ASSERT_NE(heap, nullptr);
    auto* block = static_cast<unsigned char*>(PlatformHeapAllocate(heap, 100));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(block[i], 0);
    std::memset(block, 0xAB, 100);
    block = static_cast<unsigned char*>(PlatformHeapReAllocate(heap, block, 5000));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(block[i], 0xAB) << i;
    for (int i = 100; i < 5000; ++i)
        ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(PlatformHeapLiveBytes(heap), 5000u);
    EXPECT_TRUE(PlatformHeapFree(heap, block));
    EXPECT_EQ(PlatformHeapLiveBytes(heap), 0u);
    EXPECT_TRUE(PlatformHeapFree(heap, nullptr));
    PlatformHeapDestroy(heap);
}

TEST(PlatformHeap, DestroyReleasesBlocksStillHeld) {
    // Under AddressSanitizer a block left behind would be reported as a leak.
    PlatformHeap* heap = PlatformHeapCreate(4096);
    for (int i = 0; i < 50; ++i)
        ASSERT_NE(PlatformHeapAllocate(heap, 64 + i), nullptr);
    EXPECT_GT(PlatformHeapLiveBytes(heap), 0u);
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

TEST(PlatformHeap, InjectedFailureLeavesTheOldBlockIntact) {
    PlatformHeap* heap = PlatformHeapCreate(4096);
    auto* block = static_cast<char*>(PlatformHeapAllocate(heap, 8));
    std::strcpy(block, "intact");
    PlatformHeapFailAfter(heap, 1);
    void* first = PlatformHeapAllocate(heap, 8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(PlatformHeapAllocate(heap, 8), nullptr);
    EXPECT_EQ(PlatformHeapReAllocate(heap, block, 64), nullptr);
    EXPECT_STREQ(block, "intact");
    PlatformHeapFailAfter(heap, -1);
    EXPECT_NE(PlatformHeapReAllocate(heap, block, 64), nullptr);
    PlatformHeapDestroy(heap);
}

TEST(ReentrantLock, OwnerMayEnterAgainWhileOthersWait) {
    ReentrantLock lock{};
    LockInit(&lock);
    LockEnter(&lock);
    LockEnter(&lock); // would deadlock if the lock were not re-entrant
    int shared = 0;
    std::thread other([&] {
        LockGuard guard(&lock);
        shared = 2;
    });
    shared = 1;
    LockLeave(&lock);
    EXPECT_EQ(shared, 1); // still held once: the other thread cannot be in
    LockLeave(&lock);
    other.join();
    EXPECT_EQ(shared, 2);
    LockDestroy(&lock);
}

TEST(ThreadSlot, EachThreadSeesItsOwnValue) {
    ThreadSlot slot;
    ASSERT_TRUE(ThreadSlotAllocate(&slot));
    int mine = 1, theirs = 2;
    ThreadSlotSet(slot, &mine);
    void* seenByOther = &mine;
    uint32_t otherId = 0;
    std::thread other([&] {
        seenByOther = ThreadSlotGet(slot);
        ThreadSlotSet(slot, &theirs);
        otherId = CurrentThreadId();
    });
    other.join();
    EXPECT_EQ(seenByOther, nullptr);
    EXPECT_EQ(ThreadSlotGet(slot), &mine);
    EXPECT_NE(otherId, CurrentThreadId());
    ThreadSlotFree(slot);
}
