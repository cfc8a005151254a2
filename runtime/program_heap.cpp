#include "runtime/program_heap.h"

#include "runtime/platform.h"

static PlatformHeap* gProgramHeap;

bool ProgramHeapCreate() {
    if (!gProgramHeap) gProgramHeap = PlatformHeapCreate(4096);
    return gProgramHeap != nullptr;
}

void ProgramHeapDestroy() {
    PlatformHeapDestroy(gProgramHeap);
    gProgramHeap = nullptr;
}

PlatformHeap* ProgramHeap() {
    return gProgramHeap;
}

void* ProgramHeapAllocate(size_t size) {
    return PlatformHeapAllocate(gProgramHeap, size);
}

void* ProgramHeapReAllocate(void* block, size_t size) {
    return PlatformHeapReAllocate(gProgramHeap, block, size);
}

void ProgramHeapFree(void* block) {
    PlatformHeapFree(gProgramHeap, block);
}
