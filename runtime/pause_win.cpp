// PauseMs: a sleep with the system timer at 1 ms resolution, so that a short
// pause lasts close to what was asked rather than a whole default tick.
#include <windows.h>

#include <mmsystem.h>

#include "runtime/requester.h"

void PauseMs(int32_t ms) {
    // A negative time would be INFINITE (or nearly) to Sleep.
    DWORD duration = ms < 0 ? 0 : static_cast<DWORD>(ms);
    timeBeginPeriod(1); // requests of concurrent callers are counted by the system
    Sleep(duration);
    timeEndPeriod(1);
}
