#pragma once
// Live sizing: the window procedure's replacement for the system's modal
// sizing loop, so that the event loop keeps running (and keeps receiving
// move and size events) while a window is being resized. It starts on
// SC_SIZE when full-window dragging is on and ends when the window loses
// the mouse capture (button up, Enter, Escape, or anything else).
#include <windows.h>

#include "ui/windows/message_result.h"

#include <cstdint>

// Sizing edges: the system's WMSZ_ codes; 0 while none is chosen yet
// (keyboard sizing from the system menu).
enum SizingEdge : int32_t {
    SIZING_NO_EDGE = 0,
    SIZING_LEFT = 1,
    SIZING_RIGHT = 2,
    SIZING_TOP = 3,
    SIZING_TOP_LEFT = 4,
    SIZING_TOP_RIGHT = 5,
    SIZING_BOTTOM = 6,
    SIZING_BOTTOM_LEFT = 7,
    SIZING_BOTTOM_RIGHT = 8,
};

// One per thread, zero-filled at first use.
struct SizingState {
    int32_t active;        // 1 while sizing owns the mouse
    int32_t restoreCursor; // put the cursor back at the end
    POINT savedCursor;     // where keyboard sizing began
    RECT rectangle;        // the window's rectangle being built, screen coordinates
    int32_t edge;          // SizingEdge
    MINMAXINFO limits;     // minimum and maximum tracking sizes are used
};

// Registers the sizing state as a per-thread variable (part of WindowsInit).
void LiveSizingInit();
// The calling thread's sizing state, or null before LiveSizingInit.
SizingState* ThreadSizingState();

// Handles the messages that start, drive and end live sizing; NotHandled for
// everything else.
MessageResult LiveSizing(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Moves the edge(s) of rectangle to the point for edge, keeping its width and
// height within the minimum and maximum tracking sizes.
void ApplySizingPoint(RECT* rectangle, int32_t edge, POINT point, POINT minimum, POINT maximum);
