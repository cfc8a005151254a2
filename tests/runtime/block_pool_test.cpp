#include "runtime/block_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/failing_heap.h"
#include "tests/support/program_heap_fixture.h"

namespace {

// Not a multiple of the word: a slot laid out unaligned would be caught by
// the undefined-behaviour sanitizer.
constexpr int32_t kBlockSize = 30;

class BlockPoolTest : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        pool = CreateBlockPool(kBlockSize, 16, 256);
        ASSERT_NE(pool, nullptr);
        withoutChunks = LiveBytes();
    }
    void TearDown() override {
        DestroyBlockPool(pool);
        EXPECT_EQ(LiveBytes(), 0u);
        ProgramHeapTest::TearDown();
    }
    // Takes blocks until count are held or none can be had, each filled
    // with its index.
    void Take(size_t count) {
        while (blocks.size() < count) {
            void* block = PoolAllocate(pool);
            if (!block) return;
            std::memset(block, static_cast<int>(blocks.size()), kBlockSize);
            blocks.push_back(block);
        }
    }
    // Every block still holds its index (none overlaps another); then all
    // are freed, and every chunk goes back to the heap.
    void ExpectIntactThenFreeAll() {
        for (size_t i = 0; i < blocks.size(); ++i)
            for (int b = 0; b < kBlockSize; ++b)
                ASSERT_EQ(static_cast<unsigned char*>(blocks[i])[b], static_cast<unsigned char>(i))
                    << i;
        for (void* block : blocks)
            PoolFree(pool, block);
        blocks.clear();
        EXPECT_EQ(LiveBytes(), withoutChunks);
    }
    BlockPool* pool = nullptr;
    size_t withoutChunks = 0;
    std::vector<void*> blocks;
};

// Chunks grow with the pool up to the largest, and shrink back. A block
// freed in a full chunk is the next one given, with no new chunk; a clear
// gives back every chunk at once.
TEST_F(BlockPoolTest, BlocksNeverOverlapAndChunksGoBackOnceAllTheirBlocksAreFree) {
    Take(5000);
    ASSERT_EQ(blocks.size(), 5000u);
    size_t held = LiveBytes();
    PoolFree(pool, blocks[7]);
    EXPECT_EQ(PoolAllocate(pool), blocks[7]);
    EXPECT_EQ(LiveBytes(), held);
    std::memset(blocks[7], 7, kBlockSize);
    ExpectIntactThenFreeAll();
    Take(16);
    PoolClear(pool);
    EXPECT_EQ(LiveBytes(), withoutChunks);
    EXPECT_EQ(CreateBlockPool(-1, 16, 256), nullptr);
}

// Without room for a chunk a block comes in a chunk of its own, and without
// that the pool gives null; allocation goes on once memory is back.
TEST_F(BlockPoolTest, ChunkThatCannotBeHadFallsBackToOneBlockThenToNull) {
    PlatformHeapFailLargerThan(ProgramHeap(), 4 * kBlockSize + 64);
    Take(3);
    PlatformHeapFailLargerThan(ProgramHeap(), SIZE_MAX);
    EXPECT_EQ(blocks.size(), 3u);
    auto take = [&] {
        Take(100);
        return blocks.size() == 100;
    };
    EXPECT_GE(FailEachAllocation(ProgramHeap(), NoPreparation, take, [](int) {}), 1);
    ExpectIntactThenFreeAll();
}

} // namespace
