// POSIX side of the platform layer (the host build).
#include "runtime/platform.h"

#include "runtime/heap_failure_budget.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
// Every block carries a header that links it into its heap, so that
// destroying the heap can release what is still held, as a private heap does.
struct alignas(16) BlockHeader {
    BlockHeader* next;
    BlockHeader* previous;
    size_t size;
};
} // namespace

struct PlatformHeap {
    pthread_mutex_t mutex;
    BlockHeader* blocks;
    size_t liveBytes;
    HeapFailureBudget budget;
};

static void Link(PlatformHeap* heap, BlockHeader* header) {
    header->previous = nullptr;
    header->next = heap->blocks;
    if (heap->blocks) heap->blocks->previous = header;
    heap->blocks = header;
}

static void Unlink(PlatformHeap* heap, BlockHeader* header) {
    if (header->previous)
        header->previous->next = header->next;
    else
        heap->blocks = header->next;
    if (header->next) header->next->previous = header->previous;
}

PlatformHeap* PlatformHeapCreate(size_t /*initialSize: malloc grows on its own*/) {
    auto* heap = static_cast<PlatformHeap*>(std::calloc(1, sizeof(PlatformHeap)));
    if (!heap) return nullptr;
    pthread_mutex_init(&heap->mutex, nullptr);
    new (&heap->budget) HeapFailureBudget();
    return heap;
}

void PlatformHeapDestroy(PlatformHeap* heap) {
    if (!heap) return;
    for (BlockHeader* header = heap->blocks; header;) {
        BlockHeader* next = header->next;
        std::free(header);
        header = next;
    }
    pthread_mutex_destroy(&heap->mutex);
    std::free(heap);
}

void* PlatformHeapAllocate(PlatformHeap* heap, size_t size) {
    if (!heap || !heap->budget.MayAllocate(size)) return nullptr;
    if (size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    auto* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + size));
    if (!header) return nullptr;
    header->size = size;
    pthread_mutex_lock(&heap->mutex);
    Link(heap, header);
    heap->liveBytes += size;
    pthread_mutex_unlock(&heap->mutex);
    return header + 1;
}

void* PlatformHeapReAllocate(PlatformHeap* heap, void* block, size_t size) {
    if (!block) return PlatformHeapAllocate(heap, size);
    if (!heap || !heap->budget.MayAllocate(size)) return nullptr;
    if (size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    auto* header = static_cast<BlockHeader*>(block) - 1;
    pthread_mutex_lock(&heap->mutex);
    Unlink(heap, header);
    size_t oldSize = header->size;
    auto* grown = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + size));
    if (!grown) {
        Link(heap, header);
        pthread_mutex_unlock(&heap->mutex);
        return nullptr;
    }
    if (size > oldSize)
        std::memset(reinterpret_cast<char*>(grown + 1) + oldSize, 0, size - oldSize);
    grown->size = size;
    Link(heap, grown);
    heap->liveBytes += size - oldSize;
    pthread_mutex_unlock(&heap->mutex);
    return grown + 1;
}

bool PlatformHeapFree(PlatformHeap* heap, void* block) {
    if (!block) return true;
    if (!heap) return false;
    auto* header = static_cast<BlockHeader*>(block) - 1;
    pthread_mutex_lock(&heap->mutex);
    Unlink(heap, header);
    heap->liveBytes -= header->size;
    pthread_mutex_unlock(&heap->mutex);
    std::free(header);
    return true;
}

size_t PlatformHeapLiveBytes(const PlatformHeap* heap) {
    if (!heap) return 0;
    auto* mutable_heap = const_cast<PlatformHeap*>(heap);
    pthread_mutex_lock(&mutable_heap->mutex);
    size_t live = heap->liveBytes;
    pthread_mutex_unlock(&mutable_heap->mutex);
    return live;
}

void PlatformHeapFailAfter(PlatformHeap* heap, int64_t allowed) {
    if (heap) heap->budget.failAfter = allowed < 0 ? -1 : allowed;
}

void PlatformHeapFailLargerThan(PlatformHeap* heap, size_t limit) {
    if (heap) heap->budget.failLargerThan = limit;
}

bool PlatformAddressSpaceRoom(size_t size) {
    // Inaccessible and never backed: addresses only, given back at once.
    void* probe =
        mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (probe == MAP_FAILED) return false;
    munmap(probe, size);
    return true;
}

static_assert(sizeof(pthread_mutex_t) <= sizeof(ReentrantLock::storage));

static pthread_mutex_t* Mutex(ReentrantLock* lock) {
    return reinterpret_cast<pthread_mutex_t*>(lock->storage);
}

void LockInit(ReentrantLock* lock) {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(Mutex(lock), &attributes);
    pthread_mutexattr_destroy(&attributes);
}
void LockDestroy(ReentrantLock* lock) {
    pthread_mutex_destroy(Mutex(lock));
}
void LockEnter(ReentrantLock* lock) {
    pthread_mutex_lock(Mutex(lock));
}
void LockLeave(ReentrantLock* lock) {
    pthread_mutex_unlock(Mutex(lock));
}

uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(syscall(SYS_gettid));
}

uint32_t TickCountMs() {
    // The steady clock is the monotonic one here, as the tick count is.
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void ThreadYield() {
    sched_yield();
}

bool ThreadSlotAllocate(ThreadSlot* slot) {
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0) return false;
    *slot = key;
    return true;
}
void ThreadSlotFree(ThreadSlot slot) {
    pthread_key_delete(static_cast<pthread_key_t>(slot));
}
void* ThreadSlotGet(ThreadSlot slot) {
    return pthread_getspecific(static_cast<pthread_key_t>(slot));
}
void ThreadSlotSet(ThreadSlot slot, void* value) {
    pthread_setspecific(static_cast<pthread_key_t>(slot), value);
}
