#include <windows.h>

#include <cwchar>

#include "runtime/timing_marks.h"

namespace {

// A few minutes of the worker's cycles, three marks each, and then some.
constexpr long kCapacity = 1 << 18;

TimingMarks* gMarks;

// Made at the first mark, noted before anything else of the program runs.
TimingMarks* Marks() {
    if (gMarks) return gMarks;
    wchar_t name[64];
    std::swprintf(name, 64, L"%ls%lu", kTimingMarksName, GetCurrentProcessId());
    DWORD size = sizeof(TimingMarks) + (kCapacity - 1) * sizeof(TimingMark);
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    if (!mapping) return nullptr;
    auto* marks = static_cast<TimingMarks*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size));
    if (!marks) return nullptr;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    marks->frequency = frequency.QuadPart;
    marks->capacity = kCapacity;
    gMarks = marks; // the mapping stays open for the life of the process
    return gMarks;
}

} // namespace

void NoteTimingMark(const char* tag) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    TimingMarks* marks = Marks();
    if (!marks) return;
    long index = InterlockedIncrement(&marks->count) - 1;
    TimingMark& mark = marks->marks[index % kCapacity];
    size_t i = 0;
    for (; i < sizeof mark.tag - 1 && tag[i]; ++i)
        mark.tag[i] = tag[i];
    for (; i < sizeof mark.tag; ++i)
        mark.tag[i] = '\0';
    mark.counter = now.QuadPart;
}

// The program's first code of its own, run by the C runtime before WinMain:
// everything before it is the system's loading of the process and its
// libraries.
[[maybe_unused]] const bool gImageNoted = (NoteTimingMark("image"), true);
