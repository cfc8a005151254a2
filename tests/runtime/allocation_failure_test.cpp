// Allocation failures in the program heap and the memory heap, each
// allocation of an operation failing in turn: the operation returns its
// failure value, leaves nothing half made, and every byte it took is back.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "runtime/block_pool.h"
#include "runtime/memory.h"
#include "runtime/object_registry.h"
#include "runtime/random.h"
#include "tests/support/failing_heap.h"
#include "tests/support/program_heap_fixture.h"

namespace {

int gFreeCalls;
void CountFree(ObjectNumber) {
    ++gFreeCalls;
}

// Objects a scan of the registry finds.
int ObjectsInScan(ObjectRegistry* registry) {
    int found = 0;
    ObjectNumber number;
    BeginObjectScan(registry);
    while (NextObject(registry, &number))
        ++found;
    return found;
}

class RegistryAllocationFailure : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        gFreeCalls = 0;
    }
};

TEST_F(RegistryAllocationFailure, CreateGivesNullAndTakesNothingUntilBothBlocksCome) {
    int allowed = 0;
    for (;; ++allowed) {
        ASSERT_LT(allowed, kMostAllocationsOfOneOperation);
        ObjectRegistry* registry;
        {
            FailingHeap failing(ProgramHeap(), allowed);
            registry = CreateObjectRegistry(32, 16, CountFree);
        }
        if (registry) {
            DestroyObjectRegistry(registry);
            break;
        }
        EXPECT_EQ(LiveBytes(), 0u) << "allowed " << allowed;
    }
    EXPECT_EQ(allowed, 2); // the registry, then its slot table
    EXPECT_EQ(LiveBytes(), 0u);
}

// Number 40 lies beyond the 16 slots: the table grows, then the record comes.
TEST_F(RegistryAllocationFailure, ObtainBeyondTheTableLeavesTheNumberFree) {
    int allowed = 0;
    for (;; ++allowed) {
        ASSERT_LT(allowed, kMostAllocationsOfOneOperation);
        ObjectRegistry* registry = CreateObjectRegistry(32, 16, CountFree);
        ASSERT_NE(registry, nullptr);
        void* record;
        {
            FailingHeap failing(ProgramHeap(), allowed);
            record = ObtainObject(registry, 40);
        }
        if (record) {
            EXPECT_EQ(RecordMarker(record), 0);
            DestroyObjectRegistry(registry);
            break;
        }
        // The table either kept its size or grew whole; the number stays free.
        EXPECT_TRUE(registry->slotCount == 16 || registry->slotCount == 56) << allowed;
        EXPECT_EQ(FindObject(registry, 40), nullptr);
        EXPECT_EQ(ObjectsInScan(registry), 0);
        EXPECT_EQ(gFreeCalls, 0);
        // Once memory is back the same number is obtained normally.
        void* later = ObtainObject(registry, 40);
        ASSERT_NE(later, nullptr);
        EXPECT_EQ(gFreeCalls, 0); // a record that was never made has nothing to close
        DestroyObjectRegistry(registry);
        EXPECT_EQ(LiveBytes(), 0u) << "allowed " << allowed;
    }
    EXPECT_EQ(allowed, 2);
}

TEST_F(RegistryAllocationFailure, DynamicObtainLeavesTheDynamicListAsItWas) {
    ObjectRegistry* registry = CreateObjectRegistry(32, 16, CountFree);
    ASSERT_NE(registry, nullptr);
    void* older = ObtainObject(registry, DynamicNumber);
    ASSERT_NE(older, nullptr);
    size_t before = LiveBytes();
    {
        FailingHeap failing(ProgramHeap(), 0);
        EXPECT_EQ(ObtainObject(registry, DynamicNumber), nullptr);
    }
    EXPECT_EQ(LiveBytes(), before);
    EXPECT_EQ(ListFirst(&registry->dynamic), older);
    EXPECT_EQ(ListNext(older), nullptr);
    EXPECT_EQ(ObjectsInScan(registry), 1); // dynamic records count whatever their marker
    DestroyObjectRegistry(registry);
    EXPECT_EQ(LiveBytes(), 0u);
}

TEST_F(RegistryAllocationFailure, ListRecordThatCannotBeMadeLeavesTheListAsItWas) {
    RecordList list{};
    void* first = AddListRecord(&list, 24);
    ASSERT_NE(first, nullptr);
    size_t before = LiveBytes();
    {
        FailingHeap failing(ProgramHeap(), 0);
        EXPECT_EQ(AddListRecord(&list, 24), nullptr);
    }
    EXPECT_EQ(LiveBytes(), before);
    EXPECT_EQ(ListFirst(&list), first);
    EXPECT_EQ(ListLast(&list), first);
    RemoveListRecord(&list, first);
    EXPECT_EQ(LiveBytes(), 0u);
}

class PoolAllocationFailure : public ProgramHeapTest {};

TEST_F(PoolAllocationFailure, CreateGivesNullAndTakesNothing) {
    {
        FailingHeap failing(ProgramHeap(), 0);
        EXPECT_EQ(CreateBlockPool(28, 16, 256), nullptr);
    }
    EXPECT_EQ(LiveBytes(), 0u);
}

// 600 blocks need 16-block chunks up to 512 blocks and 32-block ones after:
// the chunk that cannot be made, nor its one-block fallback, ends the
// allocations with null, and the pool's counts still add up.
TEST_F(PoolAllocationFailure, EveryChunkThatCannotBeMadeEndsInNullWithTheCountsRight) {
    constexpr int kWanted = 600;
    int allowed = 0;
    for (;; ++allowed) {
        ASSERT_LT(allowed, 64);
        BlockPool* pool = CreateBlockPool(28, 16, 256);
        ASSERT_NE(pool, nullptr);
        size_t poolBytes = LiveBytes();
        std::vector<void*> blocks;
        {
            FailingHeap failing(ProgramHeap(), allowed);
            while (static_cast<int>(blocks.size()) < kWanted) {
                void* block = PoolAllocate(pool);
                if (!block) break;
                std::memset(block, static_cast<int>(blocks.size()), 28); // whole and its own
                blocks.push_back(block);
            }
        }
        bool complete = static_cast<int>(blocks.size()) == kWanted;
        // Each chunk made is full: the capacities add up to the blocks handed out.
        if (!complete) {
            EXPECT_EQ(pool->totalBlocks, static_cast<int32_t>(blocks.size())) << allowed;
            EXPECT_EQ(pool->chunksWithRoom, nullptr) << allowed;
            // Memory back: allocation goes on from where it stopped.
            void* next = PoolAllocate(pool);
            ASSERT_NE(next, nullptr);
            std::memset(next, static_cast<int>(blocks.size()), 28);
            blocks.push_back(next);
        }
        for (size_t i = 0; i < blocks.size(); ++i)
            for (int b = 0; b < 28; ++b)
                ASSERT_EQ(static_cast<unsigned char*>(blocks[i])[b], static_cast<unsigned char>(i))
                    << i;
        for (void* block : blocks)
            PoolFree(pool, block);
        EXPECT_EQ(pool->totalBlocks, 0) << allowed;
        EXPECT_EQ(pool->chunksWithRoom, nullptr);
        EXPECT_EQ(pool->fullChunks, nullptr);
        EXPECT_EQ(LiveBytes(), poolBytes) << "chunks left behind, allowed " << allowed;
        DestroyBlockPool(pool);
        EXPECT_EQ(LiveBytes(), 0u);
        if (complete) break;
    }
    EXPECT_EQ(allowed, 512 / 16 + 3); // 32 chunks of 16, then 3 of 32
}

TEST(MemoryAllocationFailure, BlockThatCannotBeHadIsNullAndTakesNothing) {
    MemoryInit();
    void* kept = MemoryAllocate(100);
    ASSERT_NE(kept, nullptr);
    size_t before = PlatformHeapLiveBytes(MemoryHeap());
    {
        FailingHeap failing(MemoryHeap(), 0);
        EXPECT_EQ(MemoryAllocate(1000), nullptr);
    }
    EXPECT_EQ(PlatformHeapLiveBytes(MemoryHeap()), before);
    {
        FailingHeap failing(MemoryHeap(), 1);
        void* one = MemoryAllocate(10);
        EXPECT_NE(one, nullptr);
        EXPECT_EQ(MemoryAllocate(10), nullptr);
        MemoryFree(one);
    }
    EXPECT_NE(MemoryFree(kept), 0);
    EXPECT_EQ(PlatformHeapLiveBytes(MemoryHeap()), 0u);
    MemoryEnd();
}

class RandomAllocationFailure : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        RandomForgetThreadState();
    }
};

TEST_F(RandomAllocationFailure, WithoutAStateNumbersStayInRangeAndTakeNothing) {
    {
        FailingHeap failing(ProgramHeap(), 0);
        for (int i = 0; i < 1000; ++i) {
            int32_t r = RandomUpTo(255);
            ASSERT_GE(r, 0);
            ASSERT_LE(r, 255);
        }
    }
    EXPECT_EQ(LiveBytes(), 0u);
    RandomUpTo(255); // memory is back: the thread's state is made now
    EXPECT_EQ(LiveBytes(), sizeof(RandomState));
}

// The frame builder draws until the nonce differs from the last one: draws
// without a state must differ from one another, not only when the clock
// moves on, or each frame would wait for the next tick.
TEST_F(RandomAllocationFailure, DrawsWithoutAStateDifferFromOneAnother) {
    FailingHeap failing(ProgramHeap(), 0);
    std::set<int32_t> seen;
    for (int i = 0; i < 200; ++i)
        seen.insert(RandomUpTo(-1)); // all 32 bits of a draw
    EXPECT_GE(seen.size(), 195u) << "draws only change with the clock";
}

} // namespace
