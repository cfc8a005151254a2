#include "ui/gadgets/editor_repaint.h"

#include <cstdint>

namespace {

constexpr UINT_PTR kRepaintTimer = 0x4B58; // "KX": clear of the control's own timers
constexpr const wchar_t* kLastRepaintProperty = L"KX_LastRepaint";
constexpr const wchar_t* kRepaintDueProperty = L"KX_RepaintDue";

void RepaintNow(HWND control) {
    // Never 0, which stands for "not drawn yet".
    uintptr_t now = GetTickCount() | 1u;
    SetPropW(control, kLastRepaintProperty, reinterpret_cast<HANDLE>(now));
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

} // namespace

void RepaintEditorSoon(HWND control) {
    if (EditorRepaintDue(control)) return; // the coming repaint shows this change too
    auto last = static_cast<DWORD>(reinterpret_cast<uintptr_t>(GetPropW(control, kLastRepaintProperty)));
    DWORD since = GetTickCount() - last;
    if (last == 0 || since >= kEditorRepaintGapMs) return RepaintNow(control);
    if (!SetTimer(control, kRepaintTimer, kEditorRepaintGapMs - since, nullptr) ||
        !SetPropW(control, kRepaintDueProperty, reinterpret_cast<HANDLE>(1))) {
        KillTimer(control, kRepaintTimer);
        RepaintNow(control);
    }
}

bool EditorRepaintDue(HWND control) {
    return GetPropW(control, kRepaintDueProperty) != nullptr;
}

bool HandleEditorRepaintTimer(HWND control, WPARAM timer) {
    if (timer != kRepaintTimer) return false;
    KillTimer(control, kRepaintTimer);
    RemovePropW(control, kRepaintDueProperty);
    RepaintNow(control);
    return true;
}

void ForgetEditorRepaints(HWND control) {
    KillTimer(control, kRepaintTimer);
    RemovePropW(control, kRepaintDueProperty);
    RemovePropW(control, kLastRepaintProperty);
}
