#pragma once
// What the automation driver's two halves share: the program's main window,
// its controls, and waiting.
#include <windows.h>

#include <string>

// The program's main window, once "find" has found it.
extern HWND gMain;

// A control of the main window by its number; null when there is none.
HWND Control(int id);

// Polls test every stepMs until it holds (true) or timeoutMs has passed.
template <typename Test> bool WaitFor(DWORD timeoutMs, DWORD stepMs, Test test) {
    DWORD start = GetTickCount();
    for (;;) {
        if (test()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(stepMs);
    }
}

// Microseconds of the system's real-time clock (the clock Linux calls
// CLOCK_REALTIME under Wine), so that times compare with those of the
// device host on the same machine.
long long NowUs();

// The timing commands (timing_win.cpp): the answer line when name is one of
// them, else empty.
std::string RunTimingCommand(const std::string& name, const char* arg1, const char* arg2,
                             const char* arg3);
