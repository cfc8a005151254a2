#pragma once
// Threads: numbered threads for the application, per-thread storage for the
// runtime libraries, and callbacks that run after a thread has ended.
//
// Numbered threads are counted from 1 and a number is never given out twice;
// 0 means "no thread". A thread is never killed: a wait that times out leaves
// it running. Per-thread variables are slots of bytes that each thread gets
// its own zero-filled copy of, constructed on the thread's first use and
// destroyed on an exit-watcher thread after the thread has ended (the
// registering thread's copy lives until the process ends).
#include <cstddef>
#include <cstdint>

// --- Numbered threads ----------------------------------------------------

// The procedure of a numbered thread; its result is the thread's exit code.
using ThreadProcedure = uint32_t (*)(intptr_t parameter);

// Start routine of the library: creates the lock of the thread list. Runs at
// start-up on the main thread; safe to call again.
void ThreadsInit();

// Starts procedure(parameter) on a new thread at once and returns its
// number, or 0 when no thread could be started (no number is used up then).
// Ended threads of earlier calls are forgotten here (their handles closed).
int32_t StartThread(ThreadProcedure procedure, intptr_t parameter);
// 1 while the numbered thread runs; 0 once it has ended or when the number
// names no thread (never started, or forgotten).
int32_t ThreadRunning(int32_t number);
// Waits up to timeoutMs for the thread to end (-1: no limit). 1 when it has
// ended or the number names no thread, 0 when the time ran out first.
int32_t WaitForThread(int32_t number, int32_t timeoutMs);
// End routine: closes the handles of all numbered threads and forgets them.
// Threads that still run are not stopped.
void CloseThreadHandles();

// --- Per-thread variables ------------------------------------------------

// Called with the address of one thread's copy of a variable.
using ThreadVariableProc = void (*)(void* variable);

// Reserves size bytes (raised to a multiple of the word size: 4 on 32-bit
// Windows, 8 on 64-bit) in every thread's block and returns the variable's
// offset. The calling thread's copy exists and is constructed on return.
// Either procedure may be null. Registrations belong to start-up, before
// other threads use their variables; -1 when memory or the thread-local
// slot runs out.
int32_t RegisterThreadVariable(int32_t size, ThreadVariableProc constructor,
                               ThreadVariableProc destructor);
// The calling thread's copy of the variable at offset. On a thread's first
// call its block is made (zero-filled, constructors run, newest variable
// first) and its destruction is arranged with OnThreadExit. Null when no
// variable was registered or memory runs out.
void* ThreadVariable(int32_t offset);

// --- Thread-exit callbacks -----------------------------------------------

using ThreadExitProc = void (*)(void* data);

// function(data) runs on an exit-watcher thread after the calling thread has
// ended; callbacks of one thread run newest first. Dropped without a report
// when the thread cannot be watched (no handle, semaphore or watcher thread).
void OnThreadExit(ThreadExitProc function, void* data);

// --- For tests -----------------------------------------------------------

// Called by WaitForThread after it has found the thread and released the
// thread lock, just before it waits; null (the default) calls nothing.
using ThreadWaitHook = void (*)(int32_t number);
void SetThreadWaitHookForTests(ThreadWaitHook hook);
// Numbered threads whose records (and handles) are still held.
int32_t KnownThreadCount();
// Number of exit watchers (each with its own thread) that exist now.
int32_t ExitWatcherCount();
