#pragma once
// BlockPool: blocks of one fixed size handed out from chunks taken from the
// program heap. Freed blocks are reused last-freed first; a chunk goes back to
// the heap as soon as every block taken from it is free again. A new chunk
// holds about a sixteenth of what the pool already holds, between the pool's
// minimum and maximum. No lock: a pool belongs to one thread.
#include <cstdint>

struct PoolChunk;

struct BlockPool {
    PoolChunk* fullChunks;     // no block left to hand out
    PoolChunk* chunksWithRoom; // allocation takes the first
    int32_t totalBlocks;       // sum of the capacities of all chunks
    int32_t slotSize;          // word in front + block, rounded to the word
    int32_t minimumPerChunk;
    int32_t maximumPerChunk;
};

// A new pool with no chunk yet, or null.
BlockPool* CreateBlockPool(int32_t blockSize, int32_t minimumPerChunk, int32_t maximumPerChunk);
// A block (contents undefined), or null when no chunk can be had.
void* PoolAllocate(BlockPool* pool);
// Gives back a block of this pool.
void PoolFree(BlockPool* pool, void* block);
// Frees every chunk; all blocks become invalid.
void PoolClear(BlockPool* pool);
// Clears the pool and frees it.
void DestroyBlockPool(BlockPool* pool);

// Capacity of the chunk the pool would make next (for tests).
int32_t PoolNextChunkCapacity(const BlockPool* pool);
