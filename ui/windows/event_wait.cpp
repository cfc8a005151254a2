// The wait for events: the queue first, then one system message, translated
// against the active window's shortcuts and dispatched. Whatever the window
// procedure produced directly during the dispatch is the result.
#include "ui/windows/event_wait.h"

#include "runtime/threads.h"
#include "ui/windows/event_codes.h"
#include "ui/windows/keyboard_shortcuts.h"

namespace {

int32_t gRecordOffset = -1;

// Wake on any input or posted message.
constexpr DWORD kWakeMask = QS_ALLINPUT | QS_ALLPOSTMESSAGE;

// One message into message, true when there was one.
bool FetchMessage(int32_t timeoutMs, MSG* message) {
    if (timeoutMs == -1) {
        // A quit message is handled like any other: it comes back as 18.
        GetMessageW(message, nullptr, 0, 0);
        return true;
    }
    if (PeekMessageW(message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) return true;
    if (timeoutMs == 0) return false;
    DWORD limit = timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs);
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, limit, kWakeMask) == WAIT_TIMEOUT)
        return false;
    return PeekMessageW(message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD);
}

void Dispatch(MSG* message) {
    HWND active = GetActiveWindow();
    HACCEL table = ActiveShortcutTable(active);
    if (table && TranslateAcceleratorW(active, table, message)) {
        if (active) SetKeyboardCues(active, true);
        return;
    }
    TranslateMessage(message);
    DispatchMessageW(message);
}

const EventFields& Delivered() {
    static const EventFields none{};
    CurrentEventRecord* record = CurrentEvent();
    return record ? record->delivered : none;
}

} // namespace

void CurrentEventInit() {
    if (gRecordOffset < 0)
        gRecordOffset = RegisterThreadVariable(sizeof(CurrentEventRecord), nullptr, nullptr);
}

CurrentEventRecord* CurrentEvent() {
    if (gRecordOffset < 0) return nullptr;
    return static_cast<CurrentEventRecord*>(ThreadVariable(gRecordOffset));
}

int32_t EventWait(int32_t timeoutMs) {
    CurrentEventRecord* record = CurrentEvent();
    if (!record) return 0;
    EventFields& live = record->live;
    EventFields& delivered = record->delivered;
    if (delivered.data && delivered.release) {
        EventRelease release = delivered.release;
        void* data = delivered.data;
        delivered.data = nullptr;
        delivered.release = nullptr;
        release(data);
    }
    live.type = -1;
    live.pendingCode = 0;
    live.data = nullptr;
    live.release = nullptr;

    int32_t result = EventPop(&live);
    if (result) {
        live.pendingCode = result;
        live.wParam = 0;
        live.lParam = 0;
    } else {
        MSG message;
        if (!FetchMessage(timeoutMs, &message)) return 0;
        // Messages sent by other threads were handled inside the fetch.
        Dispatch(&message);
        if (live.pendingCode) {
            result = live.pendingCode;
            live.pendingCode = 0;
        } else {
            result = static_cast<int32_t>(message.message);
            live.wParam = message.wParam;
            live.lParam = message.lParam;
        }
    }
    delivered = live;
    return result;
}

int32_t EventWaitForever() {
    return EventWait(-1);
}

ObjectNumber EventGadgetNumber() {
    return Delivered().gadget;
}
ObjectNumber EventWindowNumber() {
    return Delivered().window;
}
int32_t EventType() {
    return Delivered().type;
}
void* EventData() {
    return Delivered().data;
}
uintptr_t EventWParam() {
    return Delivered().wParam;
}
intptr_t EventLParam() {
    return Delivered().lParam;
}

void FlushMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (CurrentEventRecord* record = CurrentEvent()) record->live.pendingCode = 0;
}
