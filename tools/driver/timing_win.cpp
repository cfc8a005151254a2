// The driver's timing commands, for the benchmarks: the received box's
// length watched from beside the program, and the timing marks that the
// program's bench build notes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/timing_marks.h"
#include "tools/driver/driver_win.h"

namespace {

using TimeEntry = void(WINAPI*)(LPFILETIME);

// The value at a fraction of the way through the values, once sorted; 0 for none.
double At(std::vector<double>* values, double fraction) {
    if (values->empty()) return 0;
    std::sort(values->begin(), values->end());
    size_t i = static_cast<size_t>(fraction * static_cast<double>(values->size()));
    return (*values)[std::min(i, values->size() - 1)];
}

long long BoxLength() {
    return SendMessageW(Control(11), WM_GETTEXTLENGTH, 0, 0);
}

std::string Watch(long long blockLength, size_t count, DWORD timeoutMs) {
    if (!Control(11) || blockLength <= 0) return "error no box";
    std::vector<long long> seen;
    std::vector<double> pollUs;
    DWORD start = GetTickCount();
    while (seen.size() < count && GetTickCount() - start < timeoutMs) {
        long long before = NowUs();
        long long length = BoxLength();
        long long now = NowUs();
        pollUs.push_back(static_cast<double>(now - before));
        while (seen.size() < count &&
               length >= static_cast<long long>(seen.size() + 1) * blockLength)
            seen.push_back(now);
        Sleep(1);
    }
    std::string line = "ok " + std::to_string(pollUs.size()) + " " +
                       std::to_string(static_cast<long long>(At(&pollUs, 0.5)));
    for (long long time : seen)
        line += " " + std::to_string(time);
    return line;
}

// How long the main window takes to answer: count messages sent to it one
// after another, gapMs apart, each timed from its send to its answer.
std::string Answers(size_t count, DWORD gapMs) {
    if (!gMain) return "error no window";
    std::vector<double> times; // microseconds
    for (size_t i = 0; i < count; ++i) {
        long long before = NowUs();
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(gMain, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result))
            return "error no answer";
        times.push_back(static_cast<double>(NowUs() - before));
        Sleep(gapMs);
    }
    auto us = [](double value) { return " " + std::to_string(static_cast<long long>(value)); };
    return "ok " + std::to_string(times.size()) + us(At(&times, 0.5)) + us(At(&times, 0.99)) +
           us(At(&times, 1));
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
    double sum = 0;
    for (double cost : costs)
        sum += cost;
    auto us = [](double value) { return " " + std::to_string(static_cast<long long>(value)); };
    return "ok " + std::to_string(costs.size()) + us(At(&costs, 0.5)) + us(At(&costs, 0.99)) +
           us(At(&costs, 1)) + us(sum / static_cast<double>(costs.size()));
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
    static auto precise = reinterpret_cast<TimeEntry>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME time;
    (precise ? precise : GetSystemTimeAsFileTime)(&time);
    // 100 ns ticks since 1601 to microseconds since 1970.
    long long ticks = static_cast<long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    return ticks / 10 - 11644473600000000LL;
}

std::string RunTimingCommand(const std::string& name, const char* arg1, const char* arg2,
                             const char* arg3) {
    if (name == "length") return "ok " + std::to_string(BoxLength());
    if (name == "worker") return Worker();
    if (name == "marks") return StartUpMarks();
    if (name == "answers") {
        if (!arg1 || !arg2) return "error answers COUNT GAP-MS";
        return Answers(static_cast<size_t>(std::max(0, std::atoi(arg1))),
                       std::strtoul(arg2, nullptr, 10));
    }
    if (name != "watch") return std::string();
    if (!arg1 || !arg2 || !arg3) return "error watch LEN COUNT MS";
    return Watch(std::atoll(arg1), static_cast<size_t>(std::max(0, std::atoi(arg2))),
                 std::strtoul(arg3, nullptr, 10));
}
