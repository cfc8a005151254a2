// How long PauseMs(10) really lasts: median and 99th percentile over 1000
// calls, beside a plain Sleep(10) at the default timer resolution.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/clock_win.h"
#include "runtime/pause.h"

namespace {

template <typename Pause> void Measure(const char* name, int calls, Pause pause) {
    std::vector<double> times;
    times.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        double start = NowMs();
        pause();
        times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-14s calls %d  min %.2f ms  median %.2f ms  p99 %.2f ms  max %.2f ms\n", name,
                calls, times.front(), times[calls / 2], times[calls * 99 / 100], times.back());
}

} // namespace

int main(int argc, char** argv) {
    int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    Measure("PauseMs(10)", calls, [] { PauseMs(10); });
    Measure("Sleep(10)", calls, [] { Sleep(10); });
    return 0;
}
