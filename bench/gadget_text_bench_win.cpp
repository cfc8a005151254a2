// What one received datagram costs the received box, empty and with 4 MB of
// text in it: the network worker's read-join-set of the read-only editor
// (GadgetGetText, join, GadgetSetText from its own thread while the main
// thread waits for events), and the process's private bytes beside the text.
//
//   gadget_text_bench [datagrams per phase] [megabytes] [unpaced]
//
// Paced (the default), the worker pauses 10 ms after each datagram as the
// program does, so the main thread paints the box in between.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/pause.h"
#include "runtime/program_heap.h"
#include "runtime/threads.h"
#include "ui/gadgets/gadgets.h"
#include "ui/windows/event_wait.h"
#include "ui/windows/post_event.h"
#include "ui/windows/window.h"

namespace {

constexpr ObjectNumber kBox = 11;

double NowMs() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Committed private memory of the process, counted region by region (what
// the system reports as private bytes, which Wine leaves at 0).
double PrivateMegabytes() {
    size_t committed = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* address = nullptr;
         VirtualQuery(address, &region, sizeof(region)) == sizeof(region);
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            committed += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    return static_cast<double>(committed) / (1024.0 * 1024.0);
}

struct Phase {
    int datagrams;
    bool paced;
    std::vector<double> costs; // ms per datagram, as the worker sees it
    std::atomic<bool> done;
};

Phase* gPhase;

double Median(std::vector<double> costs) {
    std::sort(costs.begin(), costs.end());
    return costs[costs.size() / 2];
}

uint32_t Worker(intptr_t) {
    Phase& phase = *gPhase;
    for (int i = 0; i < phase.datagrams; ++i) {
        Text payload = "datagram " + std::to_string(i) + "\n\r";
        double start = NowMs();
        GadgetSetText(kBox, GadgetGetText(kBox) + payload);
        phase.costs.push_back(NowMs() - start);
        if (phase.paced) PauseMs(10);
    }
    phase.done = true;
    PostMessageW(WindowHandle(0), WM_NULL, 0, 0);
    return 0;
}

void Run(const char* name, Phase& phase) {
    gPhase = &phase;
    int32_t worker = StartThread(Worker, 0);
    while (!phase.done)
        EventWaitForever();
    WaitForThread(worker, -1);
    std::vector<double> costs = phase.costs;
    std::sort(costs.begin(), costs.end());
    double total = 0;
    for (double c : costs)
        total += c;
    std::printf("%-8s datagrams %d  mean %.3f ms  median %.3f ms  p90 %.3f ms  max %.3f ms\n", name,
                phase.datagrams, total / costs.size(), costs[costs.size() / 2],
                costs[costs.size() * 9 / 10], costs.back());
}

// The same datagrams handled on the main thread alone (no carrying over, no
// painting in between), with the read, the join and the set apart.
void MeasureOnTheMainThread(const char* name) {
    std::vector<double> costs, reads, sets;
    for (int i = 0; i < 50; ++i) {
        double start = NowMs();
        Text joined = GadgetGetText(kBox);
        double read = NowMs();
        joined += "main " + std::to_string(i) + "\n\r";
        double join = NowMs();
        GadgetSetText(kBox, joined);
        double end = NowMs();
        costs.push_back(end - start);
        reads.push_back(read - start);
        sets.push_back(end - join);
    }
    std::printf("%-8s main thread alone: median %.3f ms (read %.3f, set %.3f)\n", name,
                Median(costs), Median(reads), Median(sets));
}

// What a text of that size costs to make and free here, whoever makes it:
// fresh memory, each page faulted in on first touch.
void MeasureFreshText(size_t size) {
    std::vector<double> costs;
    for (int i = 0; i < 20; ++i) {
        double start = NowMs();
        Text fresh(size, 'q');
        costs.push_back(NowMs() - start);
    }
    std::printf("a fresh text of %zu bytes, made and freed: median %.3f ms\n", size, Median(costs));
}

} // namespace

int main(int argc, char** argv) {
    int datagrams = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    int megabytes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
    bool paced = !(argc > 3 && std::string(argv[3]) == "unpaced");

    ProgramHeapCreate();
    PostEventInit();
    WindowsInit();
    GadgetsInit();
    ThreadsInit();
    WindowOpen(0, 0, 0, 300, 250, "bench", 0xCA0001, nullptr);
    GadgetCreateEditor(kBox, 10, 135, 280, 100, EDITOR_READ_ONLY);
    while (EventWait(0)) {
    }

    std::printf("private bytes at start: %.1f MB\n", PrivateMegabytes());
    Phase empty{datagrams, paced, {}, {false}};
    GadgetSetText(kBox, "");
    Run("empty", empty);
    MeasureOnTheMainThread("empty");
    double emptyPrivate = PrivateMegabytes();

    // Lines of 1000 characters: the rich-text control lays out a whole text
    // in time that grows with its paragraphs, so few long ones fill it fast.
    Text text;
    text.reserve(static_cast<size_t>(megabytes) << 20);
    while (text.size() + 1000 <= (static_cast<size_t>(megabytes) << 20))
        text += Text(998, 'f') + "\r\n";
    double start = NowMs();
    GadgetSetText(kBox, text);
    std::printf("filled with %zu bytes in %.0f ms\n", text.size(), NowMs() - start);
    while (EventWait(0)) {
    }
    double filledPrivate = PrivateMegabytes();
    start = NowMs();
    Text read = GadgetGetText(kBox); // the first read after a whole replacement
    std::printf("first read of the full box: %.1f ms\n", NowMs() - start);
    read.clear();
    read.shrink_to_fit();
    while (EventWait(0)) {
    }
    double mirroredPrivate = PrivateMegabytes();

    Phase full{datagrams, paced, {}, {false}};
    Run("full", full);
    MeasureOnTheMainThread("full");
    MeasureFreshText(text.size());
    double afterPrivate = PrivateMegabytes();

    std::printf("median full / empty: %.2f\n", Median(full.costs) / Median(empty.costs));
    std::printf("private bytes: after the empty phase %.1f MB, filled %.1f MB, read once %.1f MB,"
                " after the full phase %.1f MB (text %.1f MB)\n",
                emptyPrivate, filledPrivate, mirroredPrivate, afterPrivate,
                static_cast<double>(text.size()) / (1024.0 * 1024.0));
    return 0;
}
