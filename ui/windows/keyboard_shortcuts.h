#pragma once
// Keyboard cues (focus rectangles and mnemonic underlines) and the choice of
// the shortcut table that the wait translates keystrokes against.
#include <windows.h>

// Shows or hides the window's focus rectangles and mnemonic underlines,
// sending the update only when the state differs.
void SetKeyboardCues(HWND window, bool show);

// The shortcut table of the active window when it is one of this process's
// numbered windows; none while Tab alone is pressed in an editable rich-text
// control (which then takes the Tab itself). Shows the keyboard cues while
// Ctrl, Shift or Alt is down.
HACCEL ActiveShortcutTable(HWND active);
