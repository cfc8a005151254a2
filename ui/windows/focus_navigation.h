#pragma once
// Tab navigation within the active window: the walk is the system's
// enumeration of all the window's descendants; a control takes part when it
// is enabled, visible and has WS_TABSTOP.

// Focuses the next eligible control after the focused one, wrapping to the
// first; the first when no control of the window has the focus. Nothing
// changes when the focused control is not eligible itself.
void FocusNextControl();
// Focuses the eligible control before the focused one; the last eligible
// control when the focused one is the first, is none or is not eligible.
void FocusPreviousControl();
