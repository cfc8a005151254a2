#pragma once
// A clock for timing in the benchmarks: milliseconds
// from a fixed point, finer than the tick count.
#include <windows.h>

inline double NowMs() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}
