// The program's entry point: brings the runtime up in a fixed order, opens
// the panel, runs the event loop until the window is closed, and tears the
// runtime down again. The process always ends with exit code 0.
#include <windows.h>

#include "app/app_state.h"
#include "app/panel.h"
#include "app/run_controller.h"
#include "app/system_features.h"
#include "app/texts.h"
#include "net/network.h"
#include "runtime/memory.h"
#include "runtime/program_heap.h"
#include "runtime/requester.h"
#include "runtime/threads.h"
#include "runtime/timing_marks.h"
#include "ui/gadgets/gadgets.h"
#include "ui/windows/event_codes.h"
#include "ui/windows/event_wait.h"
#include "ui/windows/post_event.h"
#include "ui/windows/window.h"

constexpr uint32_t kMainWindowFlags =
    WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WINDOW_SCREEN_CENTRED;
constexpr int32_t kWorkerCloseWaitMs = 1000;

static void StartRuntime() {
    MemoryInit();
    NoteTimingMark("memory");
    SystemFeaturesProbe();
    NoteTimingMark("features");
    PostEventInit();
    NoteTimingMark("postevent");
    WindowsInit();
    NoteTimingMark("windows");
    GadgetsInit();
    NoteTimingMark("gadgets");
    RequesterInit();
    NoteTimingMark("requester");
    ThreadsInit();
    NoteTimingMark("threads");
}

[[noreturn]] static void Shutdown() {
    CloseThreadHandles();
    StopNetwork();
    GadgetsEnd();
    WindowsEnd();
    SystemFeaturesEnd();
    MemoryEnd();
    ProgramHeapDestroy();
    ExitProcess(0);
}

static void RunEventLoop() {
    NoteTimingMark("loop");
    for (;;) {
        int32_t event = EventWaitForever();
        ObjectNumber gadget = EventGadgetNumber();
        if (event == EVENT_GADGET) {
            if (gadget == ButtonStart)
                OnStartPressed();
            else if (gadget == ButtonStop)
                OnStopPressed();
            else if (gadget == ButtonSend)
                OnSendPressed();
        }
        if (event == EVENT_CLOSE_WINDOW) return;
    }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    NoteTimingMark("entry");
    ClearApplicationState();
    if (!ProgramHeapCreate()) ExitProcess(0);
    NoteTimingMark("heap");
    StartRuntime();

    int32_t networkStarted = StartNetwork();
    NoteTimingMark("network");
#ifdef Q7700_TEST_NETWORK_START_FAILS
    networkStarted = 0; // test build only: the sockets layer "cannot start"
#endif
    if (networkStarted == 0) {
        ShowMessage(kProgramTitle, kNetworkStartFailedText, 0);
        Shutdown();
    }

    WindowOpen(MainWindow, 0, 0, 300, 250, kProgramTitle, kMainWindowFlags, nullptr);
    NoteTimingMark("window");
    CreatePanel();
    NoteTimingMark("panel");
    WindowSetTopmost(MainWindow, 1);
    NoteTimingMark("topmost");
    RunEventLoop();

    StopRequested = 1;
    if (ThreadRunning(WorkerThread) == 1) WaitForThread(WorkerThread, kWorkerCloseWaitMs);
    // A worker that is still running (blocked in one of its messages, say)
    // may yet touch its server, the panel and the heaps: end the process
    // without tearing down what it uses.
    if (ThreadRunning(WorkerThread) == 1) ExitProcess(0);
    Shutdown();
}
