#pragma once
// Repaints of an editor that is appended to many times a second. A repaint
// of the box with its frame and scroll bars can cost far more than the append
// itself (under Wine's default theme about 12 ms, growing with the lines
// above the view), and the thread that appends waits whenever it finds the
// owner painting. So changes are drawn together: at most once per repaint
// gap, which is kEditorRepaintGapMs or four times what the last repaint took,
// whichever is longer, so that drawing keeps to a fifth of the owner's time.
// While appends keep coming the repaint is made right after one of them,
// when the appending thread has just been answered and is least likely to
// need the owner; once they stop, a timer draws what is left.
#include <windows.h>

// Drawn within this long of the change that asked for it, while a repaint
// takes at most a quarter of it.
constexpr DWORD kEditorRepaintGapMs = 40;

// Asks for the whole control (frame included) to be drawn anew.
void RepaintEditorSoon(HWND control);
// Whether a repaint is waiting for the gap to pass.
bool EditorRepaintDue(HWND control);
// The gap now: kEditorRepaintGapMs, or four times the last repaint's cost.
DWORD EditorRepaintGapMs(HWND control);
// EditorProc reports how long the control took to draw its client area
// (WM_PAINT) or its frame (WM_NCPAINT).
void NoteEditorPaintCost(HWND control, UINT message, DWORD ms);
// EditorProc passes WM_TIMER here: true when it was the repaint timer, which
// is then handled.
bool HandleEditorRepaintTimer(HWND control, WPARAM timer);
// At the control's final message.
void ForgetEditorRepaints(HWND control);
