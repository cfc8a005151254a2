// Thread-exit callbacks. An exit watcher is a thread that waits on up to 62
// thread handles at once (plus its wake semaphore) and, when one of them
// ends, hands out that thread's callbacks. A 63rd watched thread gets a new
// watcher with its own thread.
#include "runtime/exit_watchers.h"

#include <windows.h>

#include <cstring>

#include "runtime/platform.h"
#include "runtime/program_heap.h"
#include "runtime/threads.h"

namespace {

constexpr int32_t kSlots = 64;
// 63 of the 64 handles a wait can take: slot 0 wakes the watcher.
constexpr int32_t kMaxCount = 63;

struct CallbackNode {
    CallbackNode* next;
    ThreadExitProc function;
    void* data;
};

struct Watcher {
    Watcher* next;
    Watcher* previous;
    HANDLE wake;   // semaphore, count 0..1: new handles to wait on
    int32_t count; // handles in use, the semaphore included
    HANDLE handles[kSlots];
    DWORD threadIds[kSlots];
    CallbackNode* callbacks[kSlots]; // newest first
};

Watcher* gWatchers;
ReentrantLock gWatcherLock;
OnceFlag gWatcherLockOnce;

void EnsureLock() {
    RunOnce(&gWatcherLockOnce, [] { LockInit(&gWatcherLock); });
}

void Unlink(Watcher* watcher) {
    if (watcher->previous)
        watcher->previous->next = watcher->next;
    else
        gWatchers = watcher->next;
    if (watcher->next) watcher->next->previous = watcher->previous;
}

// Under the lock: the slot of a live thread with this id, or 0.
int32_t FindThreadSlot(Watcher* watcher, DWORD threadId) {
    for (int32_t slot = 1; slot < watcher->count; ++slot)
        if (watcher->threadIds[slot] == threadId) return slot;
    return 0;
}

// Detaches the callbacks of an ended thread's slot and closes the slot.
// Under the lock. True when the watcher has nothing left to watch and has
// been freed.
bool CloseSlot(Watcher* watcher, int32_t slot, CallbackNode** callbacks) {
    *callbacks = watcher->callbacks[slot];
    CloseHandle(watcher->handles[slot]);
    int32_t above = watcher->count - 1 - slot;
    std::memmove(&watcher->handles[slot], &watcher->handles[slot + 1], above * sizeof(HANDLE));
    std::memmove(&watcher->threadIds[slot], &watcher->threadIds[slot + 1], above * sizeof(DWORD));
    std::memmove(&watcher->callbacks[slot], &watcher->callbacks[slot + 1],
                 above * sizeof(CallbackNode*));
    --watcher->count;
    watcher->handles[watcher->count] = nullptr;
    watcher->threadIds[watcher->count] = 0;
    watcher->callbacks[watcher->count] = nullptr;
    if (watcher->count > 1) return false;
    CloseHandle(watcher->wake);
    Unlink(watcher);
    ProgramHeapFree(watcher);
    return true;
}

DWORD WINAPI WatcherThread(LPVOID argument) {
    auto* watcher = static_cast<Watcher*>(argument);
    HANDLE handles[kSlots];
    for (;;) {
        DWORD count;
        {
            // The wait works on a copy: other threads add handles meanwhile
            // and then wake us through the semaphore.
            LockGuard guard(&gWatcherLock);
            count = static_cast<DWORD>(watcher->count);
            std::memcpy(handles, watcher->handles, count * sizeof(HANDLE));
        }
        DWORD result = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
        DWORD slot;
        if (result < WAIT_OBJECT_0 + count)
            slot = result - WAIT_OBJECT_0;
        else if (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count)
            slot = result - WAIT_ABANDONED_0;
        else
            continue;
        if (slot == 0) continue; // woken to wait on more handles

        // Only this thread removes slots, so the copy's slot numbers still
        // name the same threads.
        CallbackNode* callbacks;
        bool done;
        {
            LockGuard guard(&gWatcherLock);
            done = CloseSlot(watcher, static_cast<int32_t>(slot), &callbacks);
        }
        while (callbacks) {
            CallbackNode* next = callbacks->next;
            callbacks->function(callbacks->data);
            ProgramHeapFree(callbacks);
            callbacks = next;
        }
        if (done) return 0;
    }
}

void Push(Watcher* watcher, int32_t slot, CallbackNode* node) {
    node->next = watcher->callbacks[slot];
    watcher->callbacks[slot] = node;
}

// A new watcher for one thread; false (nothing kept) when it cannot be made.
bool StartWatcher(HANDLE thread, DWORD threadId, CallbackNode* node) {
    auto* watcher = static_cast<Watcher*>(ProgramHeapAllocate(sizeof(Watcher)));
    if (!watcher) return false;
    watcher->wake = CreateSemaphoreW(nullptr, 0, 1, nullptr);
    if (!watcher->wake) {
        ProgramHeapFree(watcher);
        return false;
    }
    watcher->handles[0] = watcher->wake;
    watcher->handles[1] = thread;
    watcher->threadIds[1] = threadId;
    watcher->count = 2;
    Push(watcher, 1, node);
    HANDLE handle = CreateThread(nullptr, 4096, WatcherThread, watcher, 0, nullptr);
    if (!handle) {
        CloseHandle(watcher->wake);
        ProgramHeapFree(watcher);
        return false;
    }
    CloseHandle(handle);
    // The new thread waits for the lock, which we hold, before it looks.
    watcher->next = gWatchers;
    if (gWatchers) gWatchers->previous = watcher;
    gWatchers = watcher;
    return true;
}

} // namespace

void OnThreadExit(ThreadExitProc function, void* data) {
    if (!function) return;
    EnsureLock();
    DWORD threadId = GetCurrentThreadId();
    auto* node = static_cast<CallbackNode*>(ProgramHeapAllocate(sizeof(CallbackNode)));
    if (!node) return;
    node->function = function;
    node->data = data;

    LockGuard guard(&gWatcherLock);
    // A thread id cannot be reused while a watcher holds the thread's
    // handle, so a live slot with this id is the calling thread's own.
    for (Watcher* watcher = gWatchers; watcher; watcher = watcher->next) {
        if (int32_t slot = FindThreadSlot(watcher, threadId)) {
            Push(watcher, slot, node);
            return;
        }
    }
    HANDLE thread;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread,
                         SYNCHRONIZE, FALSE, 0)) {
        ProgramHeapFree(node);
        return;
    }
    for (Watcher* watcher = gWatchers; watcher; watcher = watcher->next) {
        if (watcher->count >= kMaxCount) continue;
        int32_t slot = watcher->count;
        watcher->handles[slot] = thread;
        watcher->threadIds[slot] = threadId;
        watcher->callbacks[slot] = nullptr;
        Push(watcher, slot, node);
        ++watcher->count;
        ReleaseSemaphore(watcher->wake, 1, nullptr);
        return;
    }
    if (!StartWatcher(thread, threadId, node)) {
        CloseHandle(thread);
        ProgramHeapFree(node);
    }
}

void RetargetThreadExit(ThreadExitProc function, void* oldData, void* newData) {
    EnsureLock();
    DWORD threadId = GetCurrentThreadId();
    LockGuard guard(&gWatcherLock);
    for (Watcher* watcher = gWatchers; watcher; watcher = watcher->next) {
        int32_t slot = FindThreadSlot(watcher, threadId);
        if (!slot) continue;
        for (CallbackNode* node = watcher->callbacks[slot]; node; node = node->next)
            if (node->function == function && node->data == oldData) node->data = newData;
    }
}

int32_t ExitWatcherCount() {
    EnsureLock();
    LockGuard guard(&gWatcherLock);
    int32_t count = 0;
    for (Watcher* watcher = gWatchers; watcher; watcher = watcher->next)
        ++count;
    return count;
}
