// What one received payload costs the received box, the way the program
// shows it: the network worker appends it with GadgetAppendText from its own
// thread (queued for the box) and pauses 10 ms, while the main thread waits
// for events, inserts what is queued and paints. Measured for lines of 100
// characters with the box empty and holding 4 MB, and for payloads without a
// line break (the box one growing paragraph) at several lengths. For each:
// the worker's time per append, and the time the box's own procedure takes
// per append, split into the insertions (the messages of the batches) and
// the repaints, with the number of insertions.
//
//   gadget_text_bench [appends per phase] [paragraph KB: that phase alone]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/clock_win.h"
#include "runtime/pause.h"
#include "runtime/program_heap.h"
#include "runtime/threads.h"
#include "ui/gadgets/gadgets.h"
#include "ui/windows/event_wait.h"
#include "ui/windows/post_event.h"
#include "ui/windows/window.h"

namespace {

constexpr ObjectNumber kBox = 11;

// The box's messages, timed in front of its procedure: its paints, and the
// rest, which while appends stream are the append's own messages.
struct BoxTimes {
    WNDPROC next;
    double paintMs;
    double otherMs;
    int paints;
    int insertions;
    int depth; // messages the procedure sends itself count in their caller
};
BoxTimes gBox;

LRESULT CALLBACK TimeBox(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    double start = NowMs();
    ++gBox.depth;
    LRESULT result = CallWindowProcW(gBox.next, control, message, wParam, lParam);
    if (--gBox.depth == 0) {
        bool paint = message == WM_PAINT || message == WM_NCPAINT;
        (paint ? gBox.paintMs : gBox.otherMs) += NowMs() - start;
        gBox.paints += message == WM_PAINT;
    }
    gBox.insertions += message == EM_REPLACESEL;
    return result;
}

struct Phase {
    int appends;
    bool lines;                // 100-character lines; else payloads without a line break
    std::vector<double> waits; // ms the worker spent per append
    std::atomic<bool> done;
};

Phase* gPhase;

Text Payload(int i, bool line) {
    Text text = std::to_string(i) + ":";
    text += Text(98 - text.size(), static_cast<char>('a' + i % 26));
    return line ? text + "\r\n" : text + "xy";
}

uint32_t Worker(intptr_t) {
    Phase& phase = *gPhase;
    for (int i = 0; i < phase.appends; ++i) {
        Text payload = Payload(i, phase.lines);
        double start = NowMs();
        GadgetAppendText(kBox, payload);
        phase.waits.push_back(NowMs() - start);
        PauseMs(10);
    }
    phase.done = true;
    PostMessageW(WindowHandle(0), WM_NULL, 0, 0);
    return 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Run(const char* name, int appends, bool lines) {
    Phase phase{appends, lines, {}, {false}};
    gPhase = &phase;
    gBox.paintMs = gBox.otherMs = 0;
    gBox.paints = gBox.insertions = 0;
    int32_t worker = StartThread(Worker, 0);
    while (!phase.done)
        EventWaitForever();
    WaitForThread(worker, -1);
    while (EventWait(100)) { // the last repaint
    }
    std::printf("%-26s worker %8.3f ms (p50); the box per append: insertion %8.3f ms "
                "(%d insertions), repaints %7.3f ms (%d repaints, %.1f ms each)\n",
                name, Median(phase.waits), gBox.otherMs / appends, gBox.insertions,
                gBox.paintMs / appends, gBox.paints,
                gBox.paints ? gBox.paintMs / gBox.paints : 0.0);
    std::fflush(stdout);
}

void Fill(size_t bytes, bool lines) {
    Text text;
    text.reserve(bytes);
    for (int i = 0; text.size() + 100 <= bytes; ++i)
        text += Payload(i, lines);
    GadgetSetText(kBox, text);
    while (EventWait(0)) {
    }
}

void Paragraph(size_t kb, int appends) {
    GadgetSetText(kBox, "");
    if (kb) Fill(kb << 10, false);
    std::string name = "one paragraph of " + std::to_string(kb) + " KB";
    Run(name.c_str(), appends, false);
}

} // namespace

int main(int argc, char** argv) {
    int appends = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    ProgramHeapCreate();
    PostEventInit();
    WindowsInit();
    GadgetsInit();
    ThreadsInit();
    WindowOpen(0, 0, 0, 300, 250, "bench", WS_CAPTION | WINDOW_SCREEN_CENTRED, nullptr);
    HWND box =
        reinterpret_cast<HWND>(GadgetCreateEditor(kBox, 10, 135, 280, 100, EDITOR_READ_ONLY));
    gBox.next = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimeBox)));
    while (EventWait(0)) {
    }

    if (argc > 2) {
        Paragraph(static_cast<size_t>(std::atoi(argv[2])), appends);
        return 0;
    }
    GadgetSetText(kBox, "");
    Run("lines, box empty", appends, true);
    Fill(size_t{4} << 20, true);
    Run("lines, box holding 4 MB", appends, true);
    for (size_t kb : {0, 16, 64, 128, 256})
        Paragraph(kb, appends / 3);
    return 0;
}
