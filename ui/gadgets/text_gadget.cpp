#include "ui/gadgets/text_gadget.h"

#include "ui/gadgets/gadget_colors.h"
#include "ui/gadgets/gadget_creation.h"
#include "ui/gadgets/gadget_registry.h"
#include "ui/windows/event_codes.h"

namespace {

constexpr DWORD kTextBaseStyle = WS_CHILD | WS_VISIBLE | WS_GROUP;

GadgetKind gTextKind;
bool gTextKindFilled;

// A static control asks for its colours with WM_CTLCOLORSTATIC only.
MessageResult TextColors(GadgetRecord* record, HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_CTLCOLORSTATIC) return NotHandled;
    return AnswerColorRequest(record, reinterpret_cast<HDC>(wParam), COLOR_BTNFACE);
}

void FillTextKind() {
    gTextKind = GadgetKind{};
    gTextKind.number = KIND_TEXT;
    gTextKind.onParentMessage = TextColors;
    gTextKind.onDestroy = ReleaseGadgetBrush;
    gTextKind.setColor = SetGadgetColor;
    gTextKind.getColor = GetGadgetColor;
    gTextKindFilled = true;
}

} // namespace

intptr_t GadgetCreateText(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height,
                          const Text& text, uint32_t flags) {
    if (!gTextKindFilled) FillTextKind();
    GadgetControlDesign design{L"Static", kTextBaseStyle | flags,
                               (flags & TEXT_BORDER) ? static_cast<DWORD>(WS_EX_CLIENTEDGE) : 0,
                               &text};
    HWND control = CreateGadgetControl(number, design, x, y, width, height);
    if (!control) return 0;
    GadgetRecord* record = ObtainGadgetRecord(number, control);
    if (!record) return 0;
    ResetGadgetColors(record);
    return GadgetRegister(number, record, control, &gTextKind);
}
