// Per-thread variables: each thread's block lives in one thread-local slot.
//
// A block starts with a small header (how many bytes of variables it holds,
// whether its destruction is registered) so that a block made before a later
// registration is grown on its next use instead of being read past its end.
#include "runtime/exit_watchers.h"

#include <windows.h>

#include <atomic>

#include "runtime/platform.h"
#include "runtime/program_heap.h"
#include "runtime/record_list.h"
#include "runtime/threads.h"

namespace {

struct VariableRecord {
    int32_t offset;
    ThreadVariableProc constructor;
    ThreadVariableProc destructor;
};

struct BlockHeader {
    intptr_t size;    // bytes of variables behind the header
    intptr_t watched; // 1 once the block's destruction is registered
};
constexpr intptr_t kWord = sizeof(void*);
constexpr intptr_t kHeaderSize = (sizeof(BlockHeader) + kWord - 1) / kWord * kWord;

struct ThreadStorage {
    std::atomic<bool> hasSlot;
    DWORD slot;
    std::atomic<int32_t> totalSize;
    // Newest first; records are only ever added at the front and never
    // removed, so a walk from a head taken under the lock needs no lock.
    RecordList variables;
    ReentrantLock lock; // guards slot creation, totalSize growth and the list head
};

ThreadStorage gStorage;
OnceFlag gStorageOnce;

void EnsureLock() {
    RunOnce(&gStorageOnce, [] { LockInit(&gStorage.lock); });
}

char* VariableAddress(BlockHeader* block, int32_t offset) {
    return reinterpret_cast<char*>(block) + kHeaderSize + offset;
}

// Runs the constructors of the variables at or beyond fromOffset, newest first.
void ConstructFrom(BlockHeader* block, void* firstVariable, intptr_t fromOffset) {
    for (void* payload = firstVariable; payload; payload = ListNext(payload)) {
        auto* variable = static_cast<VariableRecord*>(payload);
        if (variable->offset >= fromOffset && variable->offset < block->size &&
            variable->constructor)
            variable->constructor(VariableAddress(block, variable->offset));
    }
}

// Runs on an exit-watcher thread after the block's thread has ended.
void DestroyBlock(void* data) {
    auto* block = static_cast<BlockHeader*>(data);
    void* first;
    {
        LockGuard guard(&gStorage.lock);
        first = ListFirst(&gStorage.variables);
    }
    for (void* payload = first; payload; payload = ListNext(payload)) {
        auto* variable = static_cast<VariableRecord*>(payload);
        if (variable->offset < block->size && variable->destructor)
            variable->destructor(VariableAddress(block, variable->offset));
    }
    ProgramHeapFree(block);
}

// Resizes the calling thread's block to hold total bytes of variables and
// stores it in the slot again. Null (old block kept) when memory runs out.
BlockHeader* ResizeBlock(BlockHeader* old, intptr_t total) {
    auto* block = static_cast<BlockHeader*>(ProgramHeapReAllocate(old, kHeaderSize + total));
    if (!block) return nullptr;
    TlsSetValue(gStorage.slot, block);
    if (old && block != old && block->watched) RetargetThreadExit(DestroyBlock, old, block);
    return block;
}

// Makes the calling thread's block, or grows one that predates a
// registration, and constructs the variables it did not hold yet.
BlockHeader* CompleteBlock(BlockHeader* block) {
    void* first;
    intptr_t oldSize = block ? block->size : 0;
    bool fresh = block == nullptr;
    {
        LockGuard guard(&gStorage.lock);
        BlockHeader* grown = ResizeBlock(block, gStorage.totalSize.load());
        if (!grown) return block;
        block = grown;
        block->size = gStorage.totalSize.load();
        first = ListFirst(&gStorage.variables);
    }
    ConstructFrom(block, first, oldSize);
    if (fresh) {
        block->watched = 1;
        OnThreadExit(DestroyBlock, block);
    }
    return block;
}

} // namespace

int32_t RegisterThreadVariable(int32_t size, ThreadVariableProc constructor,
                               ThreadVariableProc destructor) {
    if (size < 0) return -1;
    intptr_t rounded = (static_cast<intptr_t>(size) + kWord - 1) / kWord * kWord;
    EnsureLock();
    LockGuard guard(&gStorage.lock);
    if (!gStorage.hasSlot.load()) {
        DWORD slot = TlsAlloc();
        if (slot == TLS_OUT_OF_INDEXES) return -1;
        gStorage.slot = slot;
        gStorage.hasSlot.store(true);
    }
    intptr_t offset = gStorage.totalSize.load();
    intptr_t total = offset + rounded;
    if (total > INT32_MAX - kHeaderSize) return -1;

    // The registering thread's block grows with each registration; it is
    // never watched, since it belongs to the thread that lives longest.
    auto* old = static_cast<BlockHeader*>(TlsGetValue(gStorage.slot));
    BlockHeader* block = ResizeBlock(old, total);
    if (!block) return -1;
    if (constructor || destructor) {
        auto* variable = static_cast<VariableRecord*>(
            AddListRecord(&gStorage.variables, sizeof(VariableRecord)));
        if (!variable) return -1; // the block stays larger than its size says; harmless
        variable->offset = static_cast<int32_t>(offset);
        variable->constructor = constructor;
        variable->destructor = destructor;
    }
    intptr_t oldSize = block->size;
    block->size = total;
    gStorage.totalSize.store(static_cast<int32_t>(total));
    // A block that predates earlier registrations gets those variables too;
    // the new variable is constructed last, as the newest in the list.
    void* first = ListFirst(&gStorage.variables);
    if (constructor || destructor) first = ListNext(first);
    ConstructFrom(block, first, oldSize);
    if (constructor) constructor(VariableAddress(block, static_cast<int32_t>(offset)));
    return static_cast<int32_t>(offset);
}

void* ThreadVariable(int32_t offset) {
    if (!gStorage.hasSlot.load()) return nullptr;
    auto* block = static_cast<BlockHeader*>(TlsGetValue(gStorage.slot));
    if (!block || block->size < gStorage.totalSize.load()) block = CompleteBlock(block);
    if (!block || offset < 0 || offset >= block->size) return nullptr;
    return VariableAddress(block, offset);
}
