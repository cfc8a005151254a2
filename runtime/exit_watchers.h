#pragma once
// Inside the thread library: lets the per-thread block destructor follow a
// block that moved when it grew.
#include "runtime/threads.h"

// Replaces data in the calling thread's exit callbacks of function that were
// registered with oldData.
void RetargetThreadExit(ThreadExitProc function, void* oldData, void* newData);
