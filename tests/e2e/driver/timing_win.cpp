// The driver's timing commands, for the benchmarks: the received box's
// length watched from beside the program, and the timing marks that the
// program's bench build notes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/timing_marks.h"
#include "tests/e2e/driver/driver.h"

namespace {

using PreciseTimeEntry = void(WINAPI*)(LPFILETIME);

long long BoxLength() {
    return SendMessageW(Control(11), WM_GETTEXTLENGTH, 0, 0);
}

std::string Watch(long long blockLength, size_t count, DWORD timeoutMs) {
    if (!Control(11) || blockLength <= 0) return "error no box";
    std::vector<long long> seen;
    std::vector<double> pollMs;
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    DWORD start = GetTickCount();
    while (seen.size() < count && GetTickCount() - start < timeoutMs) {
        QueryPerformanceCounter(&before);
        long long length = BoxLength();
        QueryPerformanceCounter(&after);
        pollMs.push_back(1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                         static_cast<double>(frequency.QuadPart));
        long long now = NowUs();
        while (seen.size() < count &&
               length >= static_cast<long long>(seen.size() + 1) * blockLength)
            seen.push_back(now);
        Sleep(1);
    }
    std::sort(pollMs.begin(), pollMs.end());
    double median = pollMs.empty() ? 0 : pollMs[pollMs.size() / 2];
    std::string line = "ok " + std::to_string(pollMs.size()) + " " +
                       std::to_string(static_cast<long long>(median * 1000.0));
    for (long long time : seen)
        line += " " + std::to_string(time);
    return line;
}

// The timing marks of the main window's process, in the order noted; empty
// when it notes none (it is not the bench build).
std::vector<TimingMark> ReadMarks(long long* frequency) {
    std::vector<TimingMark> marks;
    DWORD processId = 0;
    GetWindowThreadProcessId(gMain, &processId);
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

std::string Tag(const TimingMark& mark) {
    return std::string(mark.tag, strnlen(mark.tag, sizeof mark.tag));
}

long long gWorkerSeen; // counter of the last cycle "worker" has reported

// The worker's own time per datagram: from the start of a cycle in which it
// showed a payload to its pause.
std::string Worker() {
    long long frequency = 0;
    std::vector<TimingMark> marks = ReadMarks(&frequency);
    if (marks.empty() || frequency <= 0) return "error no timing marks";
    std::vector<double> costs; // microseconds
    long long cycle = -1;
    bool shown = false;
    for (const TimingMark& mark : marks) {
        std::string tag = Tag(mark);
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
    if (costs.empty()) return "ok 0 0 0 0 0";
    std::sort(costs.begin(), costs.end());
    double sum = 0;
    for (double cost : costs)
        sum += cost;
    auto us = [](double value) { return " " + std::to_string(static_cast<long long>(value)); };
    auto at = [&](double fraction) {
        return us(costs[std::min(static_cast<size_t>(fraction * static_cast<double>(costs.size())),
                                 costs.size() - 1)]);
    };
    return "ok " + std::to_string(costs.size()) + at(0.5) + at(0.99) + us(costs.back()) +
           us(sum / static_cast<double>(costs.size()));
}

// The start-up marks: every mark before the worker's first cycle.
std::string StartUpMarks() {
    long long frequency = 0;
    std::vector<TimingMark> marks = ReadMarks(&frequency);
    if (marks.empty() || frequency <= 0) return "error no timing marks";
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    std::string line = "ok " + std::to_string(frequency) + " " + std::to_string(now.QuadPart);
    for (const TimingMark& mark : marks) {
        if (Tag(mark) == "cycle") break;
        line += " " + Tag(mark) + "=" + std::to_string(mark.counter);
    }
    return line;
}

} // namespace

long long NowUs() {
    static auto precise = reinterpret_cast<PreciseTimeEntry>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME time;
    if (precise)
        precise(&time);
    else
        GetSystemTimeAsFileTime(&time);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    // 100 ns ticks since 1601 to microseconds since 1970.
    return static_cast<long long>(ticks.QuadPart / 10) - 11644473600000000LL;
}

bool RunTimingCommand(const std::string& name, const char* arg1, const char* arg2, const char* arg3,
                      std::string* answer) {
    if (name == "length")
        *answer = "ok " + std::to_string(BoxLength());
    else if (name == "watch")
        *answer = !arg1 || !arg2 || !arg3
                      ? "error watch LEN COUNT MS"
                      : Watch(std::atoll(arg1), static_cast<size_t>(std::max(0, std::atoi(arg2))),
                              std::strtoul(arg3, nullptr, 10));
    else if (name == "worker")
        *answer = Worker();
    else if (name == "marks")
        *answer = StartUpMarks();
    else
        return false;
    return true;
}
