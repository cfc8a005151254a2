#include "ui/gadgets/button_gadget.h"

#include "ui/gadgets/gadget_creation.h"
#include "ui/gadgets/gadget_registry.h"

namespace {

constexpr DWORD kButtonBaseStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP;

GadgetKind gButtonKind;
bool gButtonKindFilled;

// The check state: 1 checked, else 0.
int32_t ButtonGetState(GadgetRecord* record) {
    return static_cast<int32_t>(SendMessageW(record->handle, BM_GETCHECK, 0, 0) & 1);
}

void ButtonSetState(GadgetRecord* record, int32_t state) {
    SendMessageW(record->handle, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
}

void FillButtonKind() {
    gButtonKind = GadgetKind{};
    gButtonKind.number = KIND_BUTTON;
    gButtonKind.getState = ButtonGetState;
    gButtonKind.setState = ButtonSetState;
    gButtonKindFilled = true;
}

} // namespace

intptr_t GadgetCreateButton(ObjectNumber number, int32_t x, int32_t y, int32_t width,
                            int32_t height, const Text& text, uint32_t flags) {
    if (!gButtonKindFilled) FillButtonKind();
    GadgetControlDesign design{L"Button", kButtonBaseStyle | flags, 0, &text};
    HWND control = CreateGadgetControl(number, design, x, y, width, height);
    if (!control) return 0;
    GadgetRecord* record = ObtainGadgetRecord(number, control);
    if (!record) return 0;
    return GadgetRegister(number, record, control, &gButtonKind);
}
