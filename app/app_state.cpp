#include "app/app_state.h"

#include "app/frame.h"

std::atomic<int32_t> SendRequested;
std::atomic<int32_t> StopRequested;
int32_t WorkerThread;

void ClearApplicationState() {
    SendRequested = 0;
    StopRequested = 0;
    WorkerThread = 0;
    ResetFrameBuilder();
}
