#pragma once
// Repaints of an editor that is appended to many times a second. The first
// change after a quiet spell is drawn at once; changes that follow within the
// repaint gap are drawn together, once, when the gap has passed. A repaint of
// the box with its frame and scroll bar can cost more than the append itself
// (several milliseconds under Wine, growing with the lines above the view),
// and a receive log that is drawn on every payload spends most of its time
// drawing what nobody can read that fast. The gap is at least four times what
// the last repaint took, so that drawing keeps to a fifth of the thread's time.
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
