#include "runtime/block_pool.h"

#include <cstddef>

#include "runtime/program_heap.h"

// Chunk header; its slots follow it. A slot is one pointer-sized word and
// then the block: the word holds the chunk's address while the block is out,
// and the next free slot while the slot is on the free list.
struct PoolChunk {
    PoolChunk* next;
    PoolChunk* previous;
    void* freeList;
    int32_t capacity;
    int32_t used;      // high-water mark of slots handed out from the chunk's end
    int32_t freeCount; // slots on the free list
};

constexpr int32_t kWord = sizeof(void*);
// Keeps the first slot, and so every slot, aligned to the word.
constexpr size_t kHeaderSize = (sizeof(PoolChunk) + kWord - 1) / kWord * kWord;

static char* FirstSlot(PoolChunk* chunk) {
    return reinterpret_cast<char*>(chunk) + kHeaderSize;
}

static void LinkFront(PoolChunk** list, PoolChunk* chunk) {
    chunk->previous = nullptr;
    chunk->next = *list;
    if (*list) (*list)->previous = chunk;
    *list = chunk;
}

static void Unlink(PoolChunk** list, PoolChunk* chunk) {
    if (chunk->previous)
        chunk->previous->next = chunk->next;
    else
        *list = chunk->next;
    if (chunk->next) chunk->next->previous = chunk->previous;
    chunk->next = chunk->previous = nullptr;
}

BlockPool* CreateBlockPool(int32_t blockSize, int32_t minimumPerChunk, int32_t maximumPerChunk) {
    if (blockSize < 0 || blockSize > INT32_MAX / 2 || minimumPerChunk < 1 ||
        maximumPerChunk < minimumPerChunk)
        return nullptr;
    auto* pool = static_cast<BlockPool*>(ProgramHeapAllocate(sizeof(BlockPool)));
    if (!pool) return nullptr;
    pool->slotSize = (blockSize + kWord + kWord - 1) / kWord * kWord;
    pool->minimumPerChunk = minimumPerChunk;
    pool->maximumPerChunk = maximumPerChunk;
    return pool;
}

int32_t PoolNextChunkCapacity(const BlockPool* pool) {
    int32_t n = pool->totalBlocks / 16 / 16 * 16;
    if (n < pool->minimumPerChunk)
        n = pool->minimumPerChunk;
    else if (n > pool->maximumPerChunk)
        n = pool->maximumPerChunk;
    return n;
}

static PoolChunk* NewChunk(const BlockPool* pool, int32_t capacity) {
    size_t bytes = static_cast<size_t>(capacity) * static_cast<size_t>(pool->slotSize);
    if (bytes / static_cast<size_t>(pool->slotSize) != static_cast<size_t>(capacity))
        return nullptr;
    auto* chunk = static_cast<PoolChunk*>(ProgramHeapAllocate(kHeaderSize + bytes));
    if (chunk) chunk->capacity = capacity;
    return chunk;
}

void* PoolAllocate(BlockPool* pool) {
    char* slot;
    PoolChunk* chunk = pool->chunksWithRoom;
    if (chunk) {
        if (chunk->freeCount > 0) {
            slot = static_cast<char*>(chunk->freeList);
            chunk->freeList = *reinterpret_cast<void**>(slot);
            --chunk->freeCount;
        } else {
            slot = FirstSlot(chunk) + static_cast<size_t>(chunk->used) * pool->slotSize;
            ++chunk->used;
        }
        if (chunk->freeCount == 0 && chunk->used == chunk->capacity) {
            Unlink(&pool->chunksWithRoom, chunk);
            LinkFront(&pool->fullChunks, chunk);
        }
    } else {
        chunk = NewChunk(pool, PoolNextChunkCapacity(pool));
        if (!chunk) chunk = NewChunk(pool, 1); // a single block may still fit
        if (!chunk) return nullptr;
        pool->totalBlocks += chunk->capacity;
        chunk->used = 1;
        LinkFront(chunk->capacity > 1 ? &pool->chunksWithRoom : &pool->fullChunks, chunk);
        slot = FirstSlot(chunk);
    }
    *reinterpret_cast<PoolChunk**>(slot) = chunk;
    return slot + kWord;
}

void PoolFree(BlockPool* pool, void* block) {
    if (!block) return;
    char* slot = static_cast<char*>(block) - kWord;
    PoolChunk* chunk = *reinterpret_cast<PoolChunk**>(slot);
    *reinterpret_cast<void**>(slot) = chunk->freeList;
    chunk->freeList = slot;
    ++chunk->freeCount;
    bool wasFull = chunk->freeCount == 1 && chunk->used == chunk->capacity;
    if (chunk->freeCount == chunk->used) {
        // Every block ever handed out from it is back: return the chunk.
        Unlink(wasFull ? &pool->fullChunks : &pool->chunksWithRoom, chunk);
        pool->totalBlocks -= chunk->capacity;
        ProgramHeapFree(chunk);
    } else if (wasFull) {
        Unlink(&pool->fullChunks, chunk);
        LinkFront(&pool->chunksWithRoom, chunk);
    }
}

static void FreeChunks(PoolChunk* chunk) {
    while (chunk) {
        PoolChunk* next = chunk->next;
        ProgramHeapFree(chunk);
        chunk = next;
    }
}

void PoolClear(BlockPool* pool) {
    FreeChunks(pool->chunksWithRoom);
    FreeChunks(pool->fullChunks);
    pool->chunksWithRoom = pool->fullChunks = nullptr;
    pool->totalBlocks = 0;
}

void DestroyBlockPool(BlockPool* pool) {
    if (!pool) return;
    PoolClear(pool);
    ProgramHeapFree(pool);
}
