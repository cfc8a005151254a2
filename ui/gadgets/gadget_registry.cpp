#include "ui/gadgets/gadget_registry.h"

#include "runtime/common_controls_win.h"
#include "ui/gadgets/brush_cache.h"
#include "ui/gadgets/gadget_append_queue.h"
#include "ui/gadgets/gadget_list.h"
#include "ui/gadgets/gadget_store.h"
#include "ui/gadgets/gadget_text.h"
#include "ui/windows/event_codes.h"
#include "ui/windows/event_queue.h"
#include "ui/windows/gadget_hooks.h"
#include "ui/windows/window.h"

namespace {

struct GadgetLibrary {
    bool started;
    HFONT defaultFont;
};

GadgetLibrary gGadgets;

// ForwardToGadget of the window procedure has checked that the control
// carries gadget as both identifier and KX_ID. A plain control with
// identifier 0 and no KX_ID passes that check too (no property reads as 0),
// so the gadget found must own this very control.
MessageResult ForwardToGadgetKind(HWND control, ObjectNumber gadget, HWND parent, UINT message,
                                  WPARAM wParam, LPARAM lParam) {
    GadgetRecord* record = FindGadget(gadget);
    if (!record || record->handle != control || !record->kind->onParentMessage) return NotHandled;
    return record->kind->onParentMessage(record, parent, message, wParam, lParam);
}

// The clean-up after the control's final message, on the thread that owns it.
void CleanUpDestroyedGadget(GadgetRecord* record, HWND control, ObjectNumber number) {
    if (record->kind->onDestroy) record->kind->onDestroy(record);
    TakeQueuedText(control); // appends still queued go with the control
    RemovePropW(control, kGadgetIdProperty);
    SetWindowLongPtrW(control, GWLP_ID, -1);
    EventsRemoveMatching(EVENT_GADGET, number, -1, -1);
    ReleaseObject(GadgetRegistry(), number);
}

} // namespace

void GadgetsInit() {
    if (gGadgets.started) return;
    gGadgets.started = true;
    BrushCacheInit();
    gGadgets.defaultFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GadgetStoreInit();
    GadgetListInit(gGadgets.defaultFont);
    LoadCommonControlClasses();
    GadgetTextInit();
    GadgetHooks hooks{GadgetListUse, ForwardToGadgetKind};
    SetGadgetHooks(&hooks);
}

void GadgetsEnd() {
    // Nothing to do: see the header.
}

HFONT DefaultGuiFont() {
    if (!gGadgets.defaultFont)
        gGadgets.defaultFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    return gGadgets.defaultFont;
}

intptr_t GadgetRegister(ObjectNumber number, GadgetRecord* record, HWND control,
                        const GadgetKind* kind) {
    if (number == DynamicNumber) number = reinterpret_cast<ObjectNumber>(record);
    record->handle = control;
    record->kind = kind;
    record->previousProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetProc)));
    SetWindowLongPtrW(control, GWLP_ID, number);
    SetPropW(control, kGadgetIdProperty, reinterpret_cast<HANDLE>(number));
    GadgetListState* state = ThreadGadgetListState();
    HFONT font = state ? state->font : DefaultGuiFont();
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
    if (number == reinterpret_cast<ObjectNumber>(record)) return number;
    return reinterpret_cast<intptr_t>(control);
}

LRESULT CALLBACK GadgetProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    auto number = static_cast<ObjectNumber>(GetWindowLongPtrW(control, GWLP_ID));
    if (number == -1) return DefWindowProcW(control, message, wParam, lParam);
    GadgetRecord* record = FindGadget(number);
    // Without its record the procedure to forward to is unknown.
    if (!record || record->handle != control)
        return DefWindowProcW(control, message, wParam, lParam);
    if (IsGadgetTextRequest(message)) return ServeGadgetTextRequest(record, wParam, lParam);
    LRESULT result = CallWindowProcW(record->previousProcedure, control, message, wParam, lParam);
    if (message == WM_NCDESTROY) CleanUpDestroyedGadget(record, control, number);
    return result;
}
