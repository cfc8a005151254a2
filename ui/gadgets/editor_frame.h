#pragma once
// The editor's frame when controls are themed: the rich-text control draws a
// plain client edge, so with visual styles on the editor computes the theme's
// edit-box insets itself and paints the themed border into them. Without
// visual styles (or without theme data) none of this runs and the control
// keeps its WS_EX_CLIENTEDGE frame.
#include <windows.h>

#include <cstdint>

// The frame insets of an editor, kept in its KX_ClientRect property.
struct FrameInsets {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Takes the six theme functions from the table of dynamic calls once
// themeLibrary (the probe's "uxtheme.dll") is loaded; each may be absent.
void LoadThemeFunctions(HMODULE themeLibrary);

// After the rich-text control computed its client rectangle for a
// WM_NCCALCSIZE with wParam set: shrinks it to the theme's content rectangle
// less one pixel on every side and stores the insets. False when no theme
// data or no content rectangle could be had (nothing changed then).
bool ComputeThemedFrameInsets(HWND control, NCCALCSIZE_PARAMS* params);
// Paints the themed border between the window edge and the stored insets.
void PaintThemedBorder(HWND control);

// The arithmetic of the two, apart from the theme.
FrameInsets InsetsBetween(const RECT& proposed, const RECT& content);
RECT InsideInsets(const RECT& border, const FrameInsets& insets);
// The theme state of the edit-text part: ETS_DISABLED (4) when the control is
// disabled, else ETS_READONLY (6) when it is read-only, else ETS_NORMAL (1).
int ThemedBorderState(HWND control);
