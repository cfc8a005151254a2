#include "ui/gadgets/editor_repaint.h"

#include "runtime/program_heap.h"

namespace {

constexpr UINT_PTR kRepaintTimer = 0x4B58; // "KX": clear of the control's own timers
constexpr const wchar_t* kRepaintProperty = L"KX_Repaint";
// Changes closer together than this are a stream: the next one will come
// soon, and the repaint waits for it.
constexpr DWORD kStreamMs = 15;

struct RepaintState {
    DWORD lastRepaint; // tick count of the last repaint asked for; 0 for none yet
    DWORD lastChange;  // tick count of the latest change
    DWORD clientCost;  // ms the last WM_PAINT took
    DWORD frameCost;   // ms the last WM_NCPAINT took
    bool due;          // a change waits to be drawn; the timer runs
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
    DWORD cost = state.clientCost + state.frameCost;
    return cost > kEditorRepaintGapMs / 4 ? 4 * cost : kEditorRepaintGapMs;
}

void RepaintNow(HWND control, RepaintState* state, DWORD now) {
    if (state) {
        if (state->due) KillTimer(control, kRepaintTimer);
        state->due = false;
        state->lastRepaint = now | 1u; // never 0, which stands for "not drawn yet"
    }
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

} // namespace

void RepaintEditorSoon(HWND control) {
    DWORD now = GetTickCount();
    RepaintState* state = StateOf(control, true);
    if (!state) return RepaintNow(control, nullptr, now);
    state->lastChange = now;
    DWORD gap = Gap(*state);
    DWORD since = now - state->lastRepaint;
    if (state->lastRepaint == 0 || since >= gap) return RepaintNow(control, state, now);
    if (state->due) return; // the coming repaint shows this change too
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
    // Capped, so that one stalled repaint cannot hold the view for long.
    DWORD capped = ms < 250 ? ms : 250;
    (message == WM_NCPAINT ? state->frameCost : state->clientCost) = capped;
}

bool HandleEditorRepaintTimer(HWND control, WPARAM timer) {
    if (timer != kRepaintTimer) return false;
    DWORD now = GetTickCount();
    RepaintState* state = StateOf(control, false);
    // Changes still streaming in: the next one draws, right after it is made.
    if (state && state->due && now - state->lastChange < kStreamMs) {
        SetTimer(control, kRepaintTimer, kStreamMs, nullptr);
        return true;
    }
    RepaintNow(control, state, now);
    return true;
}

void ForgetEditorRepaints(HWND control) {
    KillTimer(control, kRepaintTimer);
    ProgramHeapFree(RemovePropW(control, kRepaintProperty));
}
