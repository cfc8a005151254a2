// PauseMs: a sleep with the system timer at 1 ms resolution, so that a short
// pause lasts close to what was asked rather than a whole default tick.
#include <windows.h>

#include "runtime/pause.h"
#include "runtime/platform.h"

namespace {

// The multimedia library that sets the timer resolution is loaded at the
// first pause rather than with the program: it and what it brings along
// would otherwise add to every start-up.
using TimerPeriodProc = UINT(WINAPI*)(UINT);
TimerPeriodProc gBeginPeriod;
TimerPeriodProc gEndPeriod;
OnceFlag gTimerOnce;

void LoadTimerFunctions() {
    HMODULE library = LoadLibraryW(L"winmm.dll");
    if (!library) return;
    // Through void (*)(): the one function type that converts without a
    // cast-function-type warning.
    gBeginPeriod = reinterpret_cast<TimerPeriodProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "timeBeginPeriod")));
    gEndPeriod = reinterpret_cast<TimerPeriodProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "timeEndPeriod")));
    if (!gBeginPeriod || !gEndPeriod) gBeginPeriod = gEndPeriod = nullptr;
}

} // namespace

void PauseMs(int32_t ms) {
    RunOnce(&gTimerOnce, LoadTimerFunctions);
    // A negative time would be INFINITE (or nearly) to Sleep.
    DWORD duration = ms < 0 ? 0 : static_cast<DWORD>(ms);
    if (gBeginPeriod) gBeginPeriod(1); // requests of concurrent callers are counted by the system
    Sleep(duration);
    if (gEndPeriod) gEndPeriod(1);
}
