// Benchmark probe: watches and operates the program's window from beside it
// for bench/run_bench.py. One command per line on standard input, one answer
// line each: "ok ..." or "error ...". Times are microseconds of the system's
// real-time clock (the clock Linux calls CLOCK_REALTIME under Wine), so they
// compare directly with the times the device host takes on the same machine.
//
//   find MS                wait up to MS for the main window with its panel
//   click ID               press button ID as the mouse does -> ok TIME
//   watch LEN COUNT MS     poll the received box's text length about every
//                          millisecond until it holds COUNT * LEN characters
//                          (or MS passed); the time at which each block of LEN
//                          characters was first seen, and what a poll costs
//                          -> ok POLLS POLL_US_MEDIAN T0 T1 ... (as many as seen)
//   length                 -> ok N: the received box's text length
//   stop MS                press Stop and wait up to MS for Start to be usable
//                          and the main window to answer -> ok MS_TAKEN
//   close                  press the main window's close box
//   worker                 the network worker's own time per received datagram
//                          (from the start of its cycle to its pause) in the
//                          cycles since the last "worker", from the timing
//                          marks of the program's bench build
//                          -> ok COUNT P50_US P99_US MAX_US MEAN_US
//   marks                  the main window's process's timing marks up to
//                          the event loop, in the order noted, with the
//                          counter's frequency and the probe's counter now
//                          -> ok FREQUENCY NOW TAG=COUNTER TAG=COUNTER ...
//   quit
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/timing_marks.h"

namespace {

constexpr int kBox = 11;
constexpr int kStart = 5;
constexpr int kStop = 6;
const wchar_t kTitle[] = L"Virtual Q7700-Ethernet demo";

using PreciseTimeEntry = void(WINAPI*)(LPFILETIME);
PreciseTimeEntry gPreciseTime;

long long NowUs() {
    FILETIME time;
    if (gPreciseTime)
        gPreciseTime(&time);
    else
        GetSystemTimeAsFileTime(&time);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    // 100 ns ticks since 1601 to microseconds since 1970.
    return static_cast<long long>(ticks.QuadPart / 10) - 11644473600000000LL;
}

double ElapsedMs(const LARGE_INTEGER& since) {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - since.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// The main window with its panel: visible, titled, with the received box.
BOOL CALLBACK IsMainWindow(HWND window, LPARAM parameter) {
    if (!IsWindowVisible(window)) return TRUE;
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (std::wcscmp(title, kTitle) != 0 || !GetDlgItem(window, kBox)) return TRUE;
    *reinterpret_cast<HWND*>(parameter) = window;
    return FALSE;
}

HWND FindMainWindow() {
    HWND found = nullptr;
    EnumWindows(IsMainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND gMain;

void Answer(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

template <typename Test> bool WaitFor(DWORD timeoutMs, DWORD stepMs, Test test) {
    DWORD start = GetTickCount();
    for (;;) {
        if (test()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(stepMs);
    }
}

HWND Control(int id) {
    return gMain ? GetDlgItem(gMain, id) : nullptr;
}

LRESULT BoxLength(HWND box) {
    return SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
}

void Watch(long long blockLength, int count, DWORD timeoutMs) {
    HWND box = Control(kBox);
    if (!box || blockLength <= 0) return Answer("error no box");
    std::vector<long long> seen;
    std::vector<double> pollMs;
    seen.reserve(static_cast<size_t>(count));
    DWORD start = GetTickCount();
    while (static_cast<int>(seen.size()) < count && GetTickCount() - start < timeoutMs) {
        LARGE_INTEGER before;
        QueryPerformanceCounter(&before);
        LRESULT length = BoxLength(box);
        pollMs.push_back(ElapsedMs(before));
        long long now = NowUs();
        while (static_cast<int>(seen.size()) < count &&
               static_cast<long long>(length) >=
                   static_cast<long long>(seen.size() + 1) * blockLength)
            seen.push_back(now);
        Sleep(1);
    }
    std::sort(pollMs.begin(), pollMs.end());
    double median = pollMs.empty() ? 0 : pollMs[pollMs.size() / 2];
    std::string line = "ok " + std::to_string(pollMs.size()) + " " +
                       std::to_string(static_cast<long long>(median * 1000.0));
    for (long long time : seen)
        line += " " + std::to_string(time);
    Answer(line);
}

// The timing marks of a process of the program's bench build, in the order
// noted; empty when it notes none.
std::vector<TimingMark> ReadMarks(DWORD processId, long long* frequency) {
    std::vector<TimingMark> marks;
    std::wstring name = kTimingMarksName + std::to_wstring(processId);
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str());
    if (!mapping) return marks;
    if (auto* shared =
            static_cast<const TimingMarks*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0))) {
        *frequency = shared->frequency;
        long count = shared->count, capacity = shared->capacity;
        for (long i = count > capacity ? count - capacity : 0; i < count; ++i)
            marks.push_back(shared->marks[i % capacity]);
        UnmapViewOfFile(shared);
    }
    CloseHandle(mapping);
    return marks;
}

long long gWorkerSeen; // counter of the last cycle "worker" has reported

void Worker() {
    DWORD processId = 0;
    GetWindowThreadProcessId(gMain, &processId);
    long long frequency = 0;
    std::vector<TimingMark> marks = ReadMarks(processId, &frequency);
    if (marks.empty() || frequency <= 0) return Answer("error no timing marks");
    std::vector<double> costs; // microseconds
    long long cycle = -1;
    bool shown = false;
    for (const TimingMark& mark : marks) {
        std::string tag(mark.tag, strnlen(mark.tag, sizeof mark.tag));
        if (tag == "cycle") {
            cycle = mark.counter;
            shown = false;
        } else if (tag == "shown") {
            shown = cycle >= 0;
        } else if (tag == "pause" && shown && cycle > gWorkerSeen) {
            costs.push_back(1e6 * static_cast<double>(mark.counter - cycle) /
                            static_cast<double>(frequency));
            gWorkerSeen = cycle;
        }
    }
    if (costs.empty()) return Answer("ok 0 0 0 0 0");
    std::sort(costs.begin(), costs.end());
    double sum = 0;
    for (double cost : costs)
        sum += cost;
    auto at = [&](double fraction) {
        size_t i = static_cast<size_t>(fraction * static_cast<double>(costs.size()));
        return static_cast<long long>(costs[std::min(i, costs.size() - 1)]);
    };
    Answer("ok " + std::to_string(costs.size()) + " " + std::to_string(at(0.5)) + " " +
           std::to_string(at(0.99)) + " " + std::to_string(static_cast<long long>(costs.back())) +
           " " + std::to_string(static_cast<long long>(sum / static_cast<double>(costs.size()))));
}

// The start-up marks: every mark before the worker's first cycle.
void Marks() {
    DWORD processId = 0;
    GetWindowThreadProcessId(gMain, &processId);
    long long frequency = 0;
    std::vector<TimingMark> marks = ReadMarks(processId, &frequency);
    if (marks.empty() || frequency <= 0) return Answer("error no timing marks");
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    std::string line = "ok " + std::to_string(frequency) + " " + std::to_string(now.QuadPart);
    for (const TimingMark& mark : marks) {
        std::string tag(mark.tag, strnlen(mark.tag, sizeof mark.tag));
        if (tag == "cycle") break;
        line += " " + tag + "=" + std::to_string(mark.counter);
    }
    Answer(line);
}

void Run(char* line) {
    char* command = std::strtok(line, " \r\n");
    char* arg1 = std::strtok(nullptr, " \r\n");
    char* arg2 = std::strtok(nullptr, " \r\n");
    char* arg3 = std::strtok(nullptr, "\r\n");
    if (!command) return Answer("error empty");
    std::string name = command;
    if (name == "quit") std::exit(0);
    if (name == "find") {
        DWORD timeout = arg1 ? std::strtoul(arg1, nullptr, 10) : 5000;
        if (!WaitFor(timeout, 5, [] { return (gMain = FindMainWindow()) != nullptr; }))
            return Answer("error no window");
        return Answer("ok");
    }
    if (!gMain || !IsWindow(gMain)) return Answer("error no window");
    if (name == "close") {
        PostMessageW(gMain, WM_SYSCOMMAND, SC_CLOSE, 0);
        return Answer("ok");
    }
    if (name == "length") return Answer("ok " + std::to_string(BoxLength(Control(kBox))));
    if (name == "click") {
        HWND button = arg1 ? Control(std::atoi(arg1)) : nullptr;
        if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button))
            return Answer("error not clickable");
        long long time = NowUs();
        PostMessageW(button, BM_CLICK, 0, 0); // the button presses itself
        return Answer("ok " + std::to_string(time));
    }
    if (name == "worker") return Worker();
    if (name == "marks") return Marks();
    if (name == "watch") {
        if (!arg1 || !arg2 || !arg3) return Answer("error watch LEN COUNT MS");
        return Watch(std::atoll(arg1), std::atoi(arg2), std::strtoul(arg3, nullptr, 10));
    }
    if (name == "stop") {
        HWND stop = Control(kStop), start = Control(kStart);
        if (!stop || !IsWindowVisible(stop)) return Answer("error not running");
        DWORD timeout = arg1 ? std::strtoul(arg1, nullptr, 10) : 5000;
        LARGE_INTEGER begin;
        QueryPerformanceCounter(&begin);
        PostMessageW(stop, BM_CLICK, 0, 0);
        bool idle =
            WaitFor(timeout, 1, [&] { return IsWindowVisible(start) && IsWindowEnabled(start); });
        // The panel shows idle before the main thread waits for the worker:
        // answered means the main thread takes messages again.
        DWORD_PTR result = 0;
        if (!idle || !SendMessageTimeoutW(gMain, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &result))
            return Answer("error still running");
        char answer[64];
        std::snprintf(answer, sizeof answer, "ok %.3f", ElapsedMs(begin));
        return Answer(answer);
    }
    Answer("error unknown command");
}

} // namespace

int main() {
    gPreciseTime = reinterpret_cast<PreciseTimeEntry>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    timeBeginPeriod(1); // Sleep(1) polls at 1 ms, not at the default tick
    char line[4096];
    while (std::fgets(line, sizeof line, stdin))
        Run(line);
    return 0;
}
