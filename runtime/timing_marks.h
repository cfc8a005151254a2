#pragma once
// Timing marks: named moments of the program's life (the steps of start-up,
// the network worker's cycles) for the benchmarks to read from outside.
//
// Only the bench build of the program records them (it links
// timing_marks_win.cpp); every other build links timing_marks_off.cpp, where
// a mark is an empty call. The bench build keeps the marks in a block of
// shared memory named kTimingMarksName followed by the process id in
// decimal, which the automation driver opens beside the running program. No file,
// no setting: the program itself never reads them.

// The name of the shared block, before the process id.
constexpr const wchar_t* kTimingMarksName = L"Local\\q7700-timing-marks-";

// The shared block: a header, then a ring of marks. The writer takes the
// next index with one atomic increment; a reader takes count marks (the
// latest `capacity` of them when more were noted) once the program is quiet.
struct TimingMark {
    char tag[12];      // a short name, zero-padded
    long long counter; // the performance counter when noted
};
struct TimingMarks {
    long long frequency; // counts per second of the performance counter
    volatile long count; // marks noted so far
    long capacity;       // marks the ring holds
    TimingMark marks[1]; // capacity of them
};

// Notes the moment, named by tag (at most 11 characters are kept).
void NoteTimingMark(const char* tag);
