#pragma once
// The program heap: the one process-wide private heap from which every
// runtime record is taken (registries, list records, thread, window and
// network records, pool chunks, generator states). The entry point creates
// it before anything else and destroys it last, which releases whatever is
// still held. Application buffers come from the memory heap instead.
#include <cstddef>

struct PlatformHeap;

// Creates the heap (initial size 4096 bytes, growable). False on failure.
bool ProgramHeapCreate();
// Destroys the heap and every block still in it.
void ProgramHeapDestroy();
// The heap itself, null before ProgramHeapCreate.
PlatformHeap* ProgramHeap();

// A zero-filled block, or null.
void* ProgramHeapAllocate(size_t size);
// Resizes a block, zero-filling any new bytes; null (old block kept) on failure.
void* ProgramHeapReAllocate(void* block, size_t size);
// Frees a block of the program heap; null is accepted.
void ProgramHeapFree(void* block);
