#pragma once
// The small platform layer: what the portable modules need of the operating
// system. Win32 in platform_win.cpp, POSIX in platform_posix.cpp; nothing
// above this header includes a system header of either.
#include <atomic>
#include <cstddef>
#include <cstdint>

// --- Private heaps -------------------------------------------------------
// A growable heap of its own. Blocks come zero-filled; destroying the heap
// releases every block still held. Use from any thread (serialised inside).
struct PlatformHeap;

// Null when the heap cannot be made.
PlatformHeap* PlatformHeapCreate(size_t initialSize);
// Releases the heap and every block in it. Null does nothing.
void PlatformHeapDestroy(PlatformHeap* heap);
// A zero-filled block of size bytes (size 0 gives a valid empty block), or
// null when the heap cannot supply it.
void* PlatformHeapAllocate(PlatformHeap* heap, size_t size);
// Resizes a block; bytes beyond the old size come zero-filled. Null when it
// cannot, and the old block is then left as it was. A null block allocates.
void* PlatformHeapReAllocate(PlatformHeap* heap, void* block, size_t size);
// Frees a block of this heap; null is accepted. False when the heap refused.
bool PlatformHeapFree(PlatformHeap* heap, void* block);
// Bytes currently handed out (the sizes asked for), for tests and benchmarks.
size_t PlatformHeapLiveBytes(const PlatformHeap* heap);
// Test hook: the next `allowed` allocations or growths succeed, every later
// one fails as if the heap were exhausted. A negative value never fails.
void PlatformHeapFailAfter(PlatformHeap* heap, int64_t allowed);
// Test hook: every allocation or growth to more than limit bytes fails.
// SIZE_MAX (the initial value) lets every size through.
void PlatformHeapFailLargerThan(PlatformHeap* heap, size_t limit);

// --- Address space -------------------------------------------------------
// Whether the process could still reserve one block of size bytes of
// address space now (nothing is kept): false when its address space is too
// full, or too broken up, for one. What a 32-bit process runs out of first.
bool PlatformAddressSpaceRoom(size_t size);

// --- Re-entrant lock -----------------------------------------------------
// Embedded in records; the owning thread may enter it again.
struct ReentrantLock {
    alignas(8) unsigned char storage[64];
};
void LockInit(ReentrantLock* lock);
void LockDestroy(ReentrantLock* lock);
void LockEnter(ReentrantLock* lock);
void LockLeave(ReentrantLock* lock);

// Holds a lock for a scope.
class LockGuard {
  public:
    explicit LockGuard(ReentrantLock* lock) : lock_(lock) { LockEnter(lock_); }
    ~LockGuard() { LockLeave(lock_); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

  private:
    ReentrantLock* lock_;
};

// --- Threads and time ----------------------------------------------------
// The system's identifier of the calling thread.
uint32_t CurrentThreadId();
// Milliseconds since some fixed moment (system start on Windows), wrapping.
uint32_t TickCountMs();
// Gives the rest of the calling thread's time slice to another thread.
void ThreadYield();

// --- One-time set-up -----------------------------------------------------
// A flag that starts as zero (a static needs no initialiser).
using OnceFlag = std::atomic<int32_t>;
// Runs setUp exactly once per flag, whichever thread comes first; a thread
// that arrives while it runs waits until it has finished.
void RunOnce(OnceFlag* flag, void (*setUp)());

// --- Per-thread slot -----------------------------------------------------
// One pointer per thread, null until the thread sets it.
using ThreadSlot = uintptr_t;
// False when no slot is left.
bool ThreadSlotAllocate(ThreadSlot* slot);
void ThreadSlotFree(ThreadSlot slot);
void* ThreadSlotGet(ThreadSlot slot);
void ThreadSlotSet(ThreadSlot slot, void* value);
