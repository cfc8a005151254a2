#pragma once
// Application buffers: zero-filled byte blocks from the memory heap, a
// private heap of their own (not the program heap). Any thread may allocate
// and free; a block is used by one thread at a time.
#include <cstddef>
#include <cstdint>

#include "runtime/text.h"

// Makes the memory heap (initial size 4096). Start-up, before any block.
void MemoryInit();
// Destroys the memory heap, which frees every block still held.
void MemoryEnd();
// A zero-filled block of size bytes; 0 (null) for a size of 0 or less, and
// when the heap cannot supply it or does not exist.
void* MemoryAllocate(int32_t size);
// Frees a block of MemoryAllocate; non-zero when freed. Null does nothing.
int32_t MemoryFree(void* block);
// Stores the low 8 bits of value at address; returns the value stored.
int32_t MemoryPokeByte(void* address, int32_t value);
// The text of the bytes from address up to the first zero byte; "" for null.
// A zero byte must lie within the caller's block.
Text MemoryPeekText(const void* address);
// As MemoryPeekText, but never reads more than maxBytes: the text ends at
// the first zero byte or after maxBytes bytes, whichever comes first.
Text MemoryPeekTextBounded(const void* address, size_t maxBytes);

struct PlatformHeap;
// The memory heap, for tests and benchmarks (live bytes); null before init.
PlatformHeap* MemoryHeap();
