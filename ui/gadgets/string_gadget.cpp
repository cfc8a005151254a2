#include "ui/gadgets/string_gadget.h"

#include "ui/gadgets/gadget_colors.h"
#include "ui/gadgets/gadget_creation.h"
#include "ui/gadgets/gadget_registry.h"
#include "ui/windows/event_codes.h"
#include "ui/windows/post_event.h"

namespace {

constexpr DWORD kStringBaseStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL;

GadgetKind gStringKind;
bool gStringKindFilled;
// The native edit procedure, shared by every control of the class.
WNDPROC gEditProcedure;

// An edit control asks with WM_CTLCOLOREDIT, and with WM_CTLCOLORSTATIC while
// it is read-only or disabled; the latter is answered only while enabled.
MessageResult FieldColors(GadgetRecord* record, HWND, UINT message, WPARAM wParam, LPARAM) {
    auto dc = reinterpret_cast<HDC>(wParam);
    if (message == WM_CTLCOLOREDIT) return AnswerColorRequest(record, dc, COLOR_WINDOW);
    if (message == WM_CTLCOLORSTATIC && IsWindowEnabled(record->handle))
        return AnswerColorRequest(record, dc, COLOR_BTNFACE);
    return NotHandled;
}

intptr_t StringGetAttribute(GadgetRecord* record, int32_t attribute) {
    if (attribute != STRING_MAX_LENGTH) return 0;
    return SendMessageW(record->handle, EM_GETLIMITTEXT, 0, 0);
}

void StringSetAttribute(GadgetRecord* record, int32_t attribute, intptr_t value) {
    if (attribute != STRING_MAX_LENGTH) return;
    SendMessageW(record->handle, EM_LIMITTEXT, static_cast<WPARAM>(value < 1 ? 1 : value), 0);
}

void FillStringKind() {
    gStringKind = GadgetKind{};
    gStringKind.number = KIND_STRING;
    gStringKind.onParentMessage = FieldColors;
    gStringKind.onDestroy = ReleaseGadgetBrush;
    gStringKind.getAttribute = StringGetAttribute;
    gStringKind.setAttribute = StringSetAttribute;
    gStringKind.setColor = SetGadgetColor;
    gStringKind.getColor = GetGadgetColor;
    gStringKindFilled = true;
}

} // namespace

LRESULT CALLBACK StringFocusProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETFOCUS)
        PostGadgetEvent(control, EVENT_TYPE_FOCUS);
    else if (message == WM_KILLFOCUS)
        PostGadgetEvent(control, EVENT_TYPE_LOST_FOCUS);
    return CallWindowProcW(gEditProcedure, control, message, wParam, lParam);
}

intptr_t GadgetCreateString(ObjectNumber number, int32_t x, int32_t y, int32_t width,
                            int32_t height, const Text& text, uint32_t flags) {
    if (!gStringKindFilled) FillStringKind();
    GadgetControlDesign design{
        L"Edit", kStringBaseStyle | flags,
        (flags & STRING_BORDERLESS) ? 0 : static_cast<DWORD>(WS_EX_CLIENTEDGE), &text};
    HWND control = CreateGadgetControl(number, design, x, y, width, height);
    if (!control) return 0;
    GadgetRecord* record = ObtainGadgetRecord(number, control);
    if (!record) return 0;
    gEditProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StringFocusProc)));
    ResetGadgetColors(record);
    return GadgetRegister(number, record, control, &gStringKind);
}
