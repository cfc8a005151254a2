// Numbered threads: a list of (handle, number) records under the thread lock.
#include <windows.h>

#include <atomic>

#include "runtime/platform.h"
#include "runtime/program_heap.h"
#include "runtime/record_list.h"
#include "runtime/threads.h"

namespace {

struct ThreadRecord {
    HANDLE handle;
    int32_t number;
    // Waiters using the handle outside the lock. While it is non-zero the
    // record is neither swept nor closed, so the waiter's handle stays valid.
    int32_t users;
    // CloseThreadHandles came while a waiter used the handle: the last
    // waiter closes it and removes the record.
    int32_t detached;
};

struct ThreadList {
    RecordList records; // newest first
    int32_t nextNumber; // only grows: numbers are never reused
    ReentrantLock lock;
};

struct StartRecord {
    ThreadProcedure procedure;
    intptr_t parameter;
};

ThreadList gThreads;
OnceFlag gThreadsOnce;
std::atomic<ThreadWaitHook> gWaitHook{nullptr};

// The system calls thread procedures with its own calling convention and a
// pointer argument; this adapts them to ThreadProcedure.
DWORD WINAPI ThreadStart(LPVOID argument) {
    auto* start = static_cast<StartRecord*>(argument);
    ThreadProcedure procedure = start->procedure;
    intptr_t parameter = start->parameter;
    ProgramHeapFree(start);
    return procedure(parameter);
}

bool HasEnded(HANDLE handle) {
    return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

void ForgetRecord(ThreadRecord* record) {
    CloseHandle(record->handle);
    RemoveListRecord(&gThreads.records, record);
}

// Forgets the threads that have ended, unless a waiter still uses the handle.
void Sweep() {
    void* payload = ListFirst(&gThreads.records);
    while (payload) {
        void* next = ListNext(payload);
        auto* record = static_cast<ThreadRecord*>(payload);
        if (record->users == 0 && HasEnded(record->handle)) ForgetRecord(record);
        payload = next;
    }
}

// The record of a thread that still runs, or null. Under the lock.
ThreadRecord* FindRunning(int32_t number) {
    for (void* payload = ListFirst(&gThreads.records); payload; payload = ListNext(payload)) {
        auto* record = static_cast<ThreadRecord*>(payload);
        if (record->number != number) continue;
        return WaitForSingleObject(record->handle, 0) == WAIT_TIMEOUT ? record : nullptr;
    }
    return nullptr;
}

} // namespace

void ThreadsInit() {
    RunOnce(&gThreadsOnce, [] {
        LockInit(&gThreads.lock);
        gThreads.nextNumber = 1;
    });
}

int32_t StartThread(ThreadProcedure procedure, intptr_t parameter) {
    ThreadsInit();
    if (!procedure) return 0;
    auto* start = static_cast<StartRecord*>(ProgramHeapAllocate(sizeof(StartRecord)));
    if (!start) return 0;
    start->procedure = procedure;
    start->parameter = parameter;

    LockGuard guard(&gThreads.lock);
    Sweep();
    // The record is made first so that a started thread always has one.
    auto* record =
        static_cast<ThreadRecord*>(AddListRecord(&gThreads.records, sizeof(ThreadRecord)));
    if (!record) {
        ProgramHeapFree(start);
        return 0;
    }
    // 4096 is only the initial commit; the stack reserve stays the default.
    HANDLE handle = CreateThread(nullptr, 4096, ThreadStart, start, 0, nullptr);
    if (!handle) {
        RemoveListRecord(&gThreads.records, record);
        ProgramHeapFree(start);
        return 0;
    }
    record->handle = handle;
    record->number = gThreads.nextNumber++;
    return record->number;
}

int32_t ThreadRunning(int32_t number) {
    ThreadsInit();
    LockGuard guard(&gThreads.lock);
    return FindRunning(number) ? 1 : 0;
}

int32_t WaitForThread(int32_t number, int32_t timeoutMs) {
    ThreadsInit();
    ThreadRecord* record;
    {
        LockGuard guard(&gThreads.lock);
        record = FindRunning(number);
        if (!record) return 1;
        ++record->users;
    }
    if (ThreadWaitHook hook = gWaitHook.load()) hook(number);
    // Only -1 means "no limit"; another negative time has already run out.
    DWORD limit = timeoutMs == -1 ? INFINITE : timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs);
    DWORD result = WaitForSingleObject(record->handle, limit);
    {
        LockGuard guard(&gThreads.lock);
        if (--record->users == 0 && record->detached) ForgetRecord(record);
    }
    return result == WAIT_OBJECT_0 ? 1 : 0;
}

void CloseThreadHandles() {
    ThreadsInit();
    LockGuard guard(&gThreads.lock);
    void* payload = ListFirst(&gThreads.records);
    while (payload) {
        void* next = ListNext(payload);
        auto* record = static_cast<ThreadRecord*>(payload);
        if (record->users > 0)
            record->detached = 1;
        else
            ForgetRecord(record);
        payload = next;
    }
}

void SetThreadWaitHookForTests(ThreadWaitHook hook) {
    gWaitHook.store(hook);
}

int32_t KnownThreadCount() {
    ThreadsInit();
    LockGuard guard(&gThreads.lock);
    int32_t count = 0;
    for (void* payload = ListFirst(&gThreads.records); payload; payload = ListNext(payload))
        ++count;
    return count;
}
