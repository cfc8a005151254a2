// Win32 side of the platform layer.
#include "runtime/platform.h"

#include "runtime/heap_failure_budget.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

struct PlatformHeap {
    HANDLE handle;
    std::atomic<size_t> liveBytes;
    HeapFailureBudget budget;
};

PlatformHeap* PlatformHeapCreate(size_t initialSize) {
    auto* heap = static_cast<PlatformHeap*>(std::calloc(1, sizeof(PlatformHeap)));
    if (!heap) return nullptr;
    heap->handle = HeapCreate(0, initialSize, 0); // growable, serialised
    if (!heap->handle) {
        std::free(heap);
        return nullptr;
    }
    new (&heap->budget) HeapFailureBudget();
    return heap;
}

void PlatformHeapDestroy(PlatformHeap* heap) {
    if (!heap) return;
    HeapDestroy(heap->handle);
    std::free(heap);
}

void* PlatformHeapAllocate(PlatformHeap* heap, size_t size) {
    if (!heap || !heap->budget.MayAllocate(size)) return nullptr;
    void* block = HeapAlloc(heap->handle, HEAP_ZERO_MEMORY, size);
    if (block) heap->liveBytes += size;
    return block;
}

void* PlatformHeapReAllocate(PlatformHeap* heap, void* block, size_t size) {
    if (!block) return PlatformHeapAllocate(heap, size);
    if (!heap || !heap->budget.MayAllocate(size)) return nullptr;
    size_t oldSize = HeapSize(heap->handle, 0, block);
    void* grown = HeapReAlloc(heap->handle, HEAP_ZERO_MEMORY, block, size);
    if (grown) heap->liveBytes += size - oldSize; // wraps correctly when shrinking
    return grown;
}

bool PlatformHeapFree(PlatformHeap* heap, void* block) {
    if (!block) return true;
    if (!heap) return false;
    size_t size = HeapSize(heap->handle, 0, block);
    if (!HeapFree(heap->handle, 0, block)) return false;
    heap->liveBytes -= size;
    return true;
}

size_t PlatformHeapLiveBytes(const PlatformHeap* heap) {
    return heap ? heap->liveBytes.load() : 0;
}

void PlatformHeapFailAfter(PlatformHeap* heap, int64_t allowed) {
    if (heap) heap->budget.failAfter = allowed < 0 ? -1 : allowed;
}

void PlatformHeapFailLargerThan(PlatformHeap* heap, size_t limit) {
    if (heap) heap->budget.failLargerThan = limit;
}

bool PlatformAddressSpaceRoom(size_t size) {
    // Reserved only, never committed: no memory is taken, and the addresses
    // go back at once.
    void* probe = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
    if (!probe) return false;
    VirtualFree(probe, 0, MEM_RELEASE);
    return true;
}

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(ReentrantLock::storage));

static CRITICAL_SECTION* Section(ReentrantLock* lock) {
    return reinterpret_cast<CRITICAL_SECTION*>(lock->storage);
}

void LockInit(ReentrantLock* lock) {
    InitializeCriticalSection(Section(lock));
}
void LockDestroy(ReentrantLock* lock) {
    DeleteCriticalSection(Section(lock));
}
void LockEnter(ReentrantLock* lock) {
    EnterCriticalSection(Section(lock));
}
void LockLeave(ReentrantLock* lock) {
    LeaveCriticalSection(Section(lock));
}

uint32_t CurrentThreadId() {
    return GetCurrentThreadId();
}
uint32_t TickCountMs() {
    return GetTickCount();
}
void ThreadYield() {
    Sleep(0);
}

bool ThreadSlotAllocate(ThreadSlot* slot) {
    DWORD index = TlsAlloc();
    if (index == TLS_OUT_OF_INDEXES) return false;
    *slot = index;
    return true;
}
void ThreadSlotFree(ThreadSlot slot) {
    TlsFree(static_cast<DWORD>(slot));
}
void* ThreadSlotGet(ThreadSlot slot) {
    return TlsGetValue(static_cast<DWORD>(slot));
}
void ThreadSlotSet(ThreadSlot slot, void* value) {
    TlsSetValue(static_cast<DWORD>(slot), value);
}
