#include "runtime/block_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/support/program_heap_fixture.h"

class BlockPoolTest : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        pool = CreateBlockPool(28, 16, 256);
        ASSERT_NE(pool, nullptr);
    }
    void TearDown() override {
        DestroyBlockPool(pool);
        EXPECT_EQ(LiveBytes(), 0u);
        ProgramHeapTest::TearDown();
    }
    std::vector<void*> Take(int count) {
        std::vector<void*> blocks;
        for (int i = 0; i < count; ++i)
            blocks.push_back(PoolAllocate(pool));
        return blocks;
    }
    BlockPool* pool = nullptr;
};

TEST_F(BlockPoolTest, SlotIsTheBlockAndOneWordRoundedToTheWord) {
#if INTPTR_MAX == INT32_MAX
    EXPECT_EQ(pool->slotSize, 32);
    BlockPool* odd = CreateBlockPool(30, 16, 256);
    EXPECT_EQ(odd->slotSize, 36);
#else
    EXPECT_EQ(pool->slotSize, 40); // 28 + 8, already a multiple of 8
    BlockPool* odd = CreateBlockPool(30, 16, 256);
    EXPECT_EQ(odd->slotSize, 40);
#endif
    DestroyBlockPool(odd);
}

TEST_F(BlockPoolTest, ChunksOfSixteenUntilThePoolIsLarge) {
    Take(1);
    EXPECT_EQ(pool->totalBlocks, 16);
    Take(15);
    EXPECT_EQ(pool->totalBlocks, 16);
    Take(1); // the 17th, with none freed: a second 16-block chunk
    EXPECT_EQ(pool->totalBlocks, 32);
}

TEST_F(BlockPoolTest, ChunkCapacityGrowsWithThePool) {
    auto blocks = Take(512); // 32 chunks of 16
    EXPECT_EQ(pool->totalBlocks, 512);
    EXPECT_EQ(PoolNextChunkCapacity(pool), 32);
    Take(1);
    EXPECT_EQ(pool->totalBlocks, 544);
    pool->totalBlocks = 768;
    EXPECT_EQ(PoolNextChunkCapacity(pool), 48);
    pool->totalBlocks = 4096;
    EXPECT_EQ(PoolNextChunkCapacity(pool), 256);
    pool->totalBlocks = 100000;
    EXPECT_EQ(PoolNextChunkCapacity(pool), 256);
    pool->totalBlocks = 544;
}

TEST_F(BlockPoolTest, EmptyChunkGoesBackToTheHeap) {
    size_t before = LiveBytes();
    void* block = PoolAllocate(pool);
    EXPECT_GT(LiveBytes(), before);
    PoolFree(pool, block);
    EXPECT_EQ(pool->totalBlocks, 0);
    EXPECT_EQ(LiveBytes(), before);
}

TEST_F(BlockPoolTest, FullChunkRegainsRoomAndHandsOutTheFreedBlock) {
    auto blocks = Take(16);
    EXPECT_EQ(pool->chunksWithRoom, nullptr);
    ASSERT_NE(pool->fullChunks, nullptr);
    PoolFree(pool, blocks[7]);
    EXPECT_EQ(pool->fullChunks, nullptr);
    EXPECT_NE(pool->chunksWithRoom, nullptr);
    EXPECT_EQ(PoolAllocate(pool), blocks[7]);
    EXPECT_EQ(pool->totalBlocks, 16);
}

TEST_F(BlockPoolTest, LastFreedIsFirstReused) {
    auto blocks = Take(4);
    PoolFree(pool, blocks[1]);
    PoolFree(pool, blocks[2]);
    EXPECT_EQ(PoolAllocate(pool), blocks[2]);
    EXPECT_EQ(PoolAllocate(pool), blocks[1]);
}

TEST_F(BlockPoolTest, BlocksDoNotOverlapAndKeepTheirContents) {
    auto blocks = Take(100);
    for (size_t i = 0; i < blocks.size(); ++i)
        std::memset(blocks[i], static_cast<int>(i), 28);
    for (size_t i = 0; i < blocks.size(); ++i)
        for (int b = 0; b < 28; ++b)
            ASSERT_EQ(static_cast<unsigned char*>(blocks[i])[b], i) << i;
    for (void* block : blocks)
        PoolFree(pool, block);
    EXPECT_EQ(pool->totalBlocks, 0);
}

TEST_F(BlockPoolTest, ClearFreesEverythingAndStartsAfresh) {
    Take(40);
    PoolClear(pool);
    EXPECT_EQ(pool->totalBlocks, 0);
    EXPECT_EQ(pool->chunksWithRoom, nullptr);
    EXPECT_EQ(pool->fullChunks, nullptr);
    Take(1);
    EXPECT_EQ(pool->totalBlocks, 16);
}

TEST_F(BlockPoolTest, FallsBackToSingleBlockChunksAndThenToNull) {
    // Room for a one-block chunk but not for a sixteen-block one.
    PlatformHeapFailLargerThan(ProgramHeap(), 4 * static_cast<size_t>(pool->slotSize) + 64);
    void* first = PoolAllocate(pool);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(pool->totalBlocks, 1);
    EXPECT_EQ(pool->chunksWithRoom, nullptr); // a one-block chunk is full at once
    void* second = PoolAllocate(pool);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(pool->totalBlocks, 2);
    PlatformHeapFailAfter(ProgramHeap(), 0);
    EXPECT_EQ(PoolAllocate(pool), nullptr);
    PlatformHeapFailAfter(ProgramHeap(), -1);
    PlatformHeapFailLargerThan(ProgramHeap(), SIZE_MAX);
    PoolFree(pool, first);
    PoolFree(pool, second);
    EXPECT_EQ(pool->totalBlocks, 0);
}
