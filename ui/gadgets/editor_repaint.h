#pragma once
// Repaints of an editor that is appended to many times a second. A repaint
// of the box with its frame and scroll bars can cost far more than the append
// itself (under Wine's default theme about 12 ms, growing with the lines
// above the view), so changes are drawn together: at most once per repaint
// gap, which is four times what the last repaint took (drawing keeps to a
// fifth of the owner's time), at least kEditorRepaintGapMs and at most
// kEditorRepaintLatestMs, so that the last change of a burst is on the screen
// soon whatever the drawing costs. A change after a quiet spell is drawn at
// once; a change within the gap is drawn when the gap has passed.
#include <windows.h>

// The shortest and the longest repaint gap.
constexpr DWORD kEditorRepaintGapMs = 40;
constexpr DWORD kEditorRepaintLatestMs = 200;

// Asks for the whole control (frame included) to be drawn anew.
void RepaintEditorSoon(HWND control);
// Whether a repaint is waiting for the gap to pass.
bool EditorRepaintDue(HWND control);
// The gap now.
DWORD EditorRepaintGapMs(HWND control);
// EditorProc reports how long the control took to draw its client area
// (WM_PAINT) or its frame (WM_NCPAINT).
void NoteEditorPaintCost(HWND control, UINT message, DWORD ms);
// EditorProc passes WM_TIMER here: true when it was the repaint timer, which
// is then handled.
bool HandleEditorRepaintTimer(HWND control, WPARAM timer);
// At the control's final message.
void ForgetEditorRepaints(HWND control);
