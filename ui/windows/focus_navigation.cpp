#include "ui/windows/focus_navigation.h"

#include <windows.h>

namespace {

bool Eligible(HWND control) {
    return IsWindowEnabled(control) && IsWindowVisible(control) &&
           (GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP);
}

struct Walk {
    HWND current;  // the focused control, if it is a descendant of the root
    HWND first;    // first eligible control
    HWND last;     // last eligible control seen so far
    HWND target;   // the answer once found
    bool passed;   // the current control has been met among the eligible
    bool previous; // walking for FocusPreviousControl
};

BOOL CALLBACK Visit(HWND control, LPARAM argument) {
    auto* walk = reinterpret_cast<Walk*>(argument);
    if (!Eligible(control)) return TRUE;
    if (!walk->first) walk->first = control;
    if (walk->previous) {
        if (control == walk->current && walk->last) {
            walk->target = walk->last;
            return FALSE;
        }
    } else if (walk->passed) {
        walk->target = control;
        return FALSE;
    } else if (control == walk->current) {
        walk->passed = true;
    }
    walk->last = control;
    return TRUE;
}

// Runs the walk over the active window; false when there is none.
bool WalkActiveWindow(Walk* walk) {
    HWND root = GetActiveWindow();
    if (!root) return false;
    HWND focus = GetFocus();
    walk->current = focus && IsChild(root, focus) ? focus : nullptr;
    EnumChildWindows(root, Visit, reinterpret_cast<LPARAM>(walk));
    return true;
}

} // namespace

void FocusNextControl() {
    Walk walk{};
    if (!WalkActiveWindow(&walk)) return;
    if (walk.target)
        SetFocus(walk.target);
    else if (!walk.current || walk.passed) {
        // No focused control, or it was the last eligible one: the first.
        if (walk.first) SetFocus(walk.first);
    }
}

void FocusPreviousControl() {
    Walk walk{};
    walk.previous = true;
    if (!WalkActiveWindow(&walk)) return;
    if (walk.target)
        SetFocus(walk.target);
    else if (walk.last)
        SetFocus(walk.last);
}
