#pragma once
// The application's process-wide state. The entry point clears it all as its
// first step; each value belongs to one module, named beside it.
#include <atomic>
#include <cstdint>

// Network worker: the main thread sets them, the worker reads them (and
// clears SendRequested as it begins a send). Plain loads and stores, no
// read-modify-write across the threads: atomics make each write visible.
extern std::atomic<int32_t> SendRequested;
extern std::atomic<int32_t> StopRequested;

// Run controller: thread number of the network worker, 0 until one started.
extern int32_t WorkerThread;

// Clears the whole application state, the frame builder's included.
void ClearApplicationState();
