// PauseMs: a sleep with the system timer at 1 ms resolution, so that a short
// pause lasts close to what was asked rather than a whole default tick.
#include <windows.h>

#include "runtime/dynamic_calls_win.h"
#include "runtime/pause.h"
#include "runtime/platform.h"

namespace {

// The multimedia library that sets the timer resolution is loaded at the
// first pause rather than with the program: it and what it brings along
// would otherwise add to every start-up.
OnceFlag gTimerOnce;

void LoadTimerFunctions() {
    LoadRuntimeLibrary(RuntimeLibrary::Multimedia);
}

} // namespace

void PauseMs(int32_t ms) {
    RunOnce(&gTimerOnce, LoadTimerFunctions);
    // A negative time would be INFINITE (or nearly) to Sleep.
    DWORD duration = ms < 0 ? 0 : static_cast<DWORD>(ms);
    // Both or neither: a request is always withdrawn. Requests of concurrent
    // callers are counted by the system.
    const DynamicCalls& calls = Dynamic();
    bool periods = calls.timeBeginPeriod && calls.timeEndPeriod;
    if (periods) calls.timeBeginPeriod(1);
    Sleep(duration);
    if (periods) calls.timeEndPeriod(1);
}
