#include "ui/windows/post_event.h"

#include "runtime/program_heap.h"
#include "ui/windows/event_codes.h"
#include "ui/windows/event_queue.h"
#include "ui/windows/window.h"

namespace {

HWND gPostWindow;
UINT gPostMessage;

LRESULT CALLBACK PostEventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (gPostMessage && message == gPostMessage && lParam) {
        auto* block = reinterpret_cast<PostedEvent*>(lParam);
        EventPostWithData(block->code, block->gadget, block->window, block->type, block->data,
                          nullptr);
        ProgramHeapFree(block);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void PostEventInit() {
    if (gPostWindow) return;
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = PostEventProc;
    windowClass.hInstance = ProgramInstance();
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"PostEventClass";
    RegisterClassW(&windowClass);
    gPostWindow = CreateWindowExW(0, L"PostEventClass", L"", WS_CAPTION, 0, 0, 1, 1, nullptr,
                                  nullptr, ProgramInstance(), nullptr);
    gPostMessage = RegisterWindowMessageW(L"KX_PostEventMessage");
    EventQueueInit();
}

int32_t EventPostToMainThread(int32_t code, ObjectNumber gadget, ObjectNumber window, int32_t type,
                              void* data) {
    if (!gPostWindow || !gPostMessage) return 0;
    auto* block = static_cast<PostedEvent*>(ProgramHeapAllocate(sizeof(PostedEvent)));
    if (!block) return 0;
    *block = PostedEvent{code, gadget, window, type, data};
    if (!PostMessageW(gPostWindow, gPostMessage, 0, reinterpret_cast<LPARAM>(block))) {
        ProgramHeapFree(block);
        return 0;
    }
    return 1;
}

void PostGadgetEvent(HWND control, int32_t type) {
    ObjectNumber window = WindowNumberOf(FindOwnerWindow(control));
    auto gadget = static_cast<ObjectNumber>(GetWindowLongPtrW(control, GWLP_ID));
    EventPost(EVENT_GADGET, gadget, window, type);
}

HWND PostEventWindow() {
    return gPostWindow;
}
UINT PostEventMessage() {
    return gPostMessage;
}
