#include "app/run_controller.h"

#include "app/app_state.h"
#include "app/network_worker.h"
#include "app/panel.h"
#include "runtime/threads.h"

// Bounded: while the main thread waits here it cannot serve the worker's
// reads and writes of the panel, so a worker busy with one would hold it.
constexpr int32_t kWorkerStopWaitMs = 1000;

void OnStartPressed() {
    SetRunningUi(1);
    StopRequested = 0;
    // A worker still running from an earlier run (its stop wait timed out)
    // simply goes on: clearing the stop request is all it needs.
    if (ThreadRunning(WorkerThread) == 0) WorkerThread = StartThread(NetworkWorker, 0);
}

void OnStopPressed() {
    SetRunningUi(0);
    StopRequested = 1;
    if (ThreadRunning(WorkerThread) == 1) WaitForThread(WorkerThread, kWorkerStopWaitMs);
}

void OnSendPressed() {
    SendRequested = 1;
}
