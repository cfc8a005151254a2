#pragma once
// Translation of WindowOpen's flags into the system's window styles.
#include <windows.h>

#include <cstdint>

struct WindowStyles {
    DWORD style;   // given to the system: never has the library's low bits
    DWORD exStyle; // WS_EX_TOOLWINDOW for a tool window, else 0
    bool screenCentred;
    bool parentCentred;
    bool noGadgetList;
    bool invisible; // the window is created hidden in every case
};

// The library's bits are taken out; all others are system style bits and
// pass through. A window with no style bit of its own gets WS_CAPTION; a
// tool window loses its minimize and maximize boxes and states and gets
// WS_CAPTION.
WindowStyles TranslateWindowFlags(uint32_t flags);
