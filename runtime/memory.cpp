#include "runtime/memory.h"

#include <cstring>

#include "runtime/platform.h"

static PlatformHeap* gMemoryHeap;

void MemoryInit() {
    if (!gMemoryHeap) gMemoryHeap = PlatformHeapCreate(4096);
}

void MemoryEnd() {
    PlatformHeapDestroy(gMemoryHeap);
    gMemoryHeap = nullptr;
}

PlatformHeap* MemoryHeap() {
    return gMemoryHeap;
}

void* MemoryAllocate(int32_t size) {
    if (size <= 0) return nullptr;
    return PlatformHeapAllocate(gMemoryHeap, static_cast<size_t>(size));
}

int32_t MemoryFree(void* block) {
    if (!block) return 0;
    return PlatformHeapFree(gMemoryHeap, block) ? 1 : 0;
}

int32_t MemoryPokeByte(void* address, int32_t value) {
    auto byte = static_cast<unsigned char>(value & 0xFF);
    *static_cast<unsigned char*>(address) = byte;
    return byte;
}

Text MemoryPeekText(const void* address) {
    return address ? Text(static_cast<const char*>(address)) : Text();
}

Text MemoryPeekTextBounded(const void* address, size_t maxBytes) {
    return TextFromBytes(address, maxBytes);
}
