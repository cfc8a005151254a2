// The block pool against a model of the blocks it has handed out. The input
// makes a pool (any block size and chunk bounds, also ones it must refuse),
// then takes blocks, frees any of them in any order, clears the pool, and
// makes the heap fail for one allocation or for chunks of more than one
// block. Every block is aligned to the word, lies apart from every other
// live block and keeps what was written into it; a pool with free slots
// makes no new chunk, a new chunk holds between the pool's bounds (one
// block when only that fits), and once every block is free again, or the
// pool is cleared, every chunk is back with the heap.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <vector>

#include "runtime/block_pool.h"
#include "runtime/platform.h"
#include "runtime/program_heap.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Larger blocks fail, so that a pool of huge blocks gets no chunk.
constexpr size_t kHeapLimit = size_t{4} << 20;
constexpr int32_t kHugeBlock = 1 << 22;

class Model {
  public:
    Model(BlockPool* pool, int32_t blockSize, int32_t minimum, int32_t maximum)
        : pool_(pool), size_(blockSize), minimum_(minimum), maximum_(maximum),
          withoutChunks_(PlatformHeapLiveBytes(ProgramHeap())) {}

    // oneBlockOnly: chunks of more than one block fail; failAfter >= 0: only
    // that many heap allocations succeed.
    void Take(int count, bool oneBlockOnly, int64_t failAfter) {
        const size_t slot = static_cast<size_t>(size_) + 2 * sizeof(void*);
        PlatformHeapFailLargerThan(ProgramHeap(),
                                   std::min(oneBlockOnly ? slot + 64 : kHeapLimit, kHeapLimit));
        PlatformHeapFailAfter(ProgramHeap(), failAfter);
        for (int i = 0; i < count && blocks_.size() < 4000; ++i) {
            const int32_t total = pool_->totalBlocks, next = PoolNextChunkCapacity(pool_);
            FUZZ_CHECK(next >= minimum_ && next <= maximum_);
            auto* block = static_cast<unsigned char*>(PoolAllocate(pool_));
            const bool room = total > static_cast<int32_t>(blocks_.size());
            FUZZ_CHECK(block || failAfter >= 0 || size_ > kHugeBlock);
            FUZZ_CHECK(!(block && size_ > kHugeBlock) && (block || !room));
            if (!block) continue;
            const int32_t grown = pool_->totalBlocks - total;
            FUZZ_CHECK(room ? grown == 0 : grown == next || (oneBlockOnly && grown == 1));
            FUZZ_CHECK(reinterpret_cast<uintptr_t>(block) % alignof(void*) == 0);
            // Apart from its neighbours among the live blocks.
            auto after = blocks_.lower_bound(block);
            FUZZ_CHECK(after == blocks_.end() ||
                       (after->first != block && block + size_ <= after->first));
            FUZZ_CHECK(after == blocks_.begin() || std::prev(after)->first + size_ <= block);
            const uint8_t fill = ++serial_;
            std::memset(block, fill, static_cast<size_t>(size_));
            blocks_[block] = fill;
        }
        PlatformHeapFailAfter(ProgramHeap(), -1);
        PlatformHeapFailLargerThan(ProgramHeap(), kHeapLimit);
    }

    void Free(size_t index, size_t count) {
        while (count-- > 0 && !blocks_.empty()) {
            auto it = std::next(blocks_.begin(), static_cast<long>(index++ % blocks_.size()));
            for (int32_t b = 0; b < size_; ++b)
                FUZZ_CHECK(it->first[b] == it->second);
            PoolFree(pool_, it->first);
            blocks_.erase(it);
        }
        if (blocks_.empty()) CheckNoChunks();
    }

    void Clear() {
        PoolClear(pool_);
        blocks_.clear();
        CheckNoChunks();
    }

  private:
    void CheckNoChunks() const {
        FUZZ_CHECK(pool_->totalBlocks == 0);
        FUZZ_CHECK(PlatformHeapLiveBytes(ProgramHeap()) == withoutChunks_);
    }

    BlockPool* pool_;
    int32_t size_, minimum_, maximum_;
    size_t withoutChunks_;
    std::map<unsigned char*, uint8_t> blocks_; // by address: each block's fill
    uint8_t serial_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ProgramHeapCreate();
    PlatformHeapFailLargerThan(ProgramHeap(), kHeapLimit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t liveBefore = PlatformHeapLiveBytes(ProgramHeap());
    FuzzInput input(data, size);
    const uint8_t choice = input.Byte();
    const int32_t kFar[] = {INT32_MAX / 2, INT32_MAX / 2 + 1, 1 << 24, -1, INT32_MIN, 4096};
    const int32_t blockSize = choice < 0xC0 ? choice : kFar[choice % std::size(kFar)];
    const int32_t minimum = input.Byte() % 33 - 1;
    const int32_t maximum = minimum + input.Byte() % 300 - 2;
    BlockPool* pool = CreateBlockPool(blockSize, minimum, maximum);
    const bool valid =
        blockSize >= 0 && blockSize <= INT32_MAX / 2 && minimum >= 1 && maximum >= minimum;
    FUZZ_CHECK((pool != nullptr) == valid);
    if (!pool) return 0;
    Model model(pool, blockSize, minimum, maximum);
    while (!input.Empty()) {
        uint8_t op = input.Byte() % 4, a = input.Byte(), b = input.Byte();
        if (op == 0) model.Take(a % 64 + 1, false, -1);
        if (op == 1) model.Take(a % 4 + 1, b & 1, b & 2 ? b % 3 : -1);
        if (op == 2) model.Free(b, a % 16 == 0 ? SIZE_MAX : a % 8 + 1);
        if (op == 3) model.Clear();
    }
    model.Free(0, SIZE_MAX);
    DestroyBlockPool(pool);
    FUZZ_CHECK(PlatformHeapLiveBytes(ProgramHeap()) == liveBefore);
    return 0;
}
