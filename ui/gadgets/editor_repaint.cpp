#include "ui/gadgets/editor_repaint.h"

#include <cstdint>

namespace {

constexpr UINT_PTR kRepaintTimer = 0x4B58; // "KX": clear of the control's own timers
constexpr const wchar_t* kLastRepaintProperty = L"KX_LastRepaint";
constexpr const wchar_t* kRepaintDueProperty = L"KX_RepaintDue";
constexpr const wchar_t* kClientPaintProperty = L"KX_PaintMs";
constexpr const wchar_t* kFramePaintProperty = L"KX_FramePaintMs";

DWORD PropertyValue(HWND control, const wchar_t* name) {
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(GetPropW(control, name)));
}

void RepaintNow(HWND control) {
    // Never 0, which stands for "not drawn yet".
    uintptr_t now = GetTickCount() | 1u;
    SetPropW(control, kLastRepaintProperty, reinterpret_cast<HANDLE>(now));
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

} // namespace

void RepaintEditorSoon(HWND control) {
    if (EditorRepaintDue(control)) return; // the coming repaint shows this change too
    DWORD last = PropertyValue(control, kLastRepaintProperty);
    DWORD since = GetTickCount() - last;
    DWORD gap = EditorRepaintGapMs(control);
    if (last == 0 || since >= gap) return RepaintNow(control);
    if (!SetTimer(control, kRepaintTimer, gap - since, nullptr) ||
        !SetPropW(control, kRepaintDueProperty, reinterpret_cast<HANDLE>(1))) {
        KillTimer(control, kRepaintTimer);
        RepaintNow(control);
    }
}

bool EditorRepaintDue(HWND control) {
    return GetPropW(control, kRepaintDueProperty) != nullptr;
}

DWORD EditorRepaintGapMs(HWND control) {
    DWORD cost =
        PropertyValue(control, kClientPaintProperty) + PropertyValue(control, kFramePaintProperty);
    return cost > kEditorRepaintGapMs / 4 ? 4 * cost : kEditorRepaintGapMs;
}

void NoteEditorPaintCost(HWND control, UINT message, DWORD ms) {
    const wchar_t* name = message == WM_NCPAINT ? kFramePaintProperty : kClientPaintProperty;
    // Capped, so that one stalled repaint cannot hold the view for long.
    DWORD capped = ms < 250 ? ms : 250;
    if (capped != 0)
        SetPropW(control, name, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(capped)));
    else
        RemovePropW(control, name);
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
    RemovePropW(control, kClientPaintProperty);
    RemovePropW(control, kFramePaintProperty);
}
