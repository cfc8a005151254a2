#include "ui/gadgets/gadget_creation.h"

#include "ui/gadgets/gadget_list.h"
#include "ui/gadgets/gadget_store.h"
#include "ui/windows/native_text.h"
#include "ui/windows/window.h"

HWND CreateGadgetControl(ObjectNumber number, const GadgetControlDesign& design, int32_t x,
                         int32_t y, int32_t width, int32_t height) {
    if (!GadgetRegistry() || number < DynamicNumber) return nullptr;
    GadgetListState* state = ThreadGadgetListState();
    // A child control needs a parent window.
    if (!state || !state->currentList) return nullptr;
    NativeText text(design.text ? *design.text : Text());
    return CreateWindowExW(design.exStyle, design.className, design.text ? text.get() : nullptr,
                           design.style, x, y, width, height, state->currentList,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(-1)), ProgramInstance(),
                           nullptr);
}

GadgetRecord* ObtainGadgetRecord(ObjectNumber number, HWND control) {
    auto* record = static_cast<GadgetRecord*>(ObtainObject(GadgetRegistry(), number));
    // Still in use: the old gadget belongs to another thread, which alone can
    // destroy it. It is left alone rather than overwritten.
    if (!record || RecordMarker(record) != 0) {
        DestroyWindow(control);
        return nullptr;
    }
    return record;
}
