#include "ui/gadgets/editor_repaint.h"

#include <algorithm>

#include "runtime/program_heap.h"

namespace {

constexpr UINT_PTR kRepaintTimer = 0x4B58; // "KX": clear of the control's own timers
constexpr const wchar_t* kRepaintProperty = L"KX_Repaint";

struct RepaintState {
    bool drawn;        // a repaint has been asked for
    bool due;          // a change waits to be drawn; the timer runs
    DWORD lastRepaint; // tick count of the last repaint asked for
    DWORD clientCost;  // ms the last WM_PAINT took
    DWORD frameCost;   // ms the last WM_NCPAINT took
};

// The control's state, made at its first change; null when it has none and
// make is false, or when memory runs out (every change is then drawn at once).
RepaintState* StateOf(HWND control, bool make) {
    auto* state = static_cast<RepaintState*>(GetPropW(control, kRepaintProperty));
    if (state || !make) return state;
    state = static_cast<RepaintState*>(ProgramHeapAllocate(sizeof(RepaintState)));
    if (state && !SetPropW(control, kRepaintProperty, state)) {
        ProgramHeapFree(state);
        state = nullptr;
    }
    return state;
}

DWORD Gap(const RepaintState& state) {
    return std::clamp(4 * (state.clientCost + state.frameCost), kEditorRepaintGapMs,
                      kEditorRepaintLatestMs);
}

void RepaintNow(HWND control, RepaintState* state, DWORD now) {
    if (state) {
        if (state->due) KillTimer(control, kRepaintTimer);
        state->due = false;
        state->drawn = true;
        state->lastRepaint = now;
    }
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

} // namespace

void RepaintEditorSoon(HWND control) {
    DWORD now = GetTickCount();
    RepaintState* state = StateOf(control, true);
    if (!state) return RepaintNow(control, nullptr, now);
    if (state->due) return; // the coming repaint shows this change too
    DWORD gap = Gap(*state);
    DWORD since = now - state->lastRepaint;
    if (!state->drawn || since >= gap) return RepaintNow(control, state, now);
    state->due = SetTimer(control, kRepaintTimer, gap - since, nullptr) != 0;
    if (!state->due) RepaintNow(control, state, now);
}

bool EditorRepaintDue(HWND control) {
    RepaintState* state = StateOf(control, false);
    return state && state->due;
}

DWORD EditorRepaintGapMs(HWND control) {
    RepaintState* state = StateOf(control, false);
    return state ? Gap(*state) : kEditorRepaintGapMs;
}

void NoteEditorPaintCost(HWND control, UINT message, DWORD ms) {
    RepaintState* state = StateOf(control, true);
    if (!state) return;
    // Capped, so that the sum of the two cannot wrap.
    (message == WM_NCPAINT ? state->frameCost : state->clientCost) =
        std::min(ms, kEditorRepaintLatestMs);
}

bool HandleEditorRepaintTimer(HWND control, WPARAM timer) {
    if (timer != kRepaintTimer) return false;
    RepaintNow(control, StateOf(control, false), GetTickCount());
    return true;
}

void ForgetEditorRepaints(HWND control) {
    KillTimer(control, kRepaintTimer);
    ProgramHeapFree(RemovePropW(control, kRepaintProperty));
}
