#pragma once
// Numbered top-level windows. A window is addressed by a number of the
// caller's choosing (0 and up) or by a dynamic number that the registry hands
// out for -1. Each window gets a class of its own ("WindowClass_<number>")
// whose procedure is WindowClassProc, carries its number + 1 in the property
// KX_WindowID, and has a shortcut table for Tab and Shift+Tab. A window
// belongs to the thread that opened it; its events arrive on that thread.
#include <windows.h>

#include <cstdint>

#include "runtime/object_registry.h"
#include "runtime/text.h"

// Open flags that are the library's own; every other bit is a system
// window-style bit and passes through.
constexpr uint32_t WINDOW_SCREEN_CENTRED = 0x1;
constexpr uint32_t WINDOW_PARENT_CENTRED = 0x2;
constexpr uint32_t WINDOW_TOOL = 0x4;
constexpr uint32_t WINDOW_NO_GADGET_LIST = 0x8;
constexpr uint32_t WINDOW_INVISIBLE = 0x10000000;

// Position value meaning "let the system choose" (without centring).
constexpr int32_t WINDOW_IGNORE = -65535;

// Shortcut commands of every window's table.
constexpr WORD SHORTCUT_TAB_NEXT = 64001;
constexpr WORD SHORTCUT_TAB_PREVIOUS = 64002;

// Names of the values stored on native windows.
constexpr const wchar_t* kWindowIdProperty = L"KX_WindowID";
constexpr const wchar_t* kFocusProperty = L"KX_Focus";
constexpr const wchar_t* kGadgetIdProperty = L"KX_ID";

struct WindowRecord {
    HWND handle;            // non-zero while the window is open
    ACCEL* shortcutEntries; // program-heap block of shortcutCount entries
    HACCEL shortcutTable;   // built from the entries
    int32_t shortcutCount;  // 2 after opening
    int32_t sizeState;      // 1 while minimized or maximized
};

// Start routine: the window registry (16 slots; closing through
// WindowClose), the per-thread current-event record and sizing state, the
// class icon (resource 1 of the program) and the arrow cursor. Runs once at
// start-up after PostEventInit.
void WindowsInit();
// End routine: closes every open window.
void WindowsEnd();

// Opens a window with a client area of width x height. Flags: the library
// bits above plus system styles; 0 (or only library bits) gives a title
// bar. Returns the window handle (as a number) for a number of 0 and up, the
// dynamic number for -1, and 0 on failure. An open window of the same number
// is closed first. The title is Windows-1251; a parent may be null.
intptr_t WindowOpen(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height,
                    const Text& title, uint32_t flags, HWND parent);
// Non-zero puts the window above all windows that are not always on top; 0
// takes it back. Numbers with no open window are ignored.
void WindowSetTopmost(ObjectNumber number, int32_t topmost);
// Closes one window, or all for -1, with its class and its queued events.
// Returns 0.
int32_t WindowClose(ObjectNumber number);

// The record of an open window, or null.
WindowRecord* FindWindowRecord(ObjectNumber number);
// The handle of an open window, or null.
HWND WindowHandle(ObjectNumber number);
// The number that a window carries in KX_WindowID, or -1.
ObjectNumber WindowNumberOf(HWND window);
// From window up through its parents: the first window that carries
// KX_WindowID, else the topmost ancestor. Null for null.
HWND FindOwnerWindow(HWND window);

// Common-controls version (major << 16 | minor; 1 when the library has no
// version entry point; 0 when it could not be loaded, tried again next
// time). Also decides whether controls are themed.
uint32_t ThemedControlsProbe();
// 1 when controls are drawn themed (after ThemedControlsProbe).
int32_t ThemedControls();
// "uxtheme.dll", loaded by ThemedControlsProbe (or before it by the
// system-feature probe) for the gadget kinds' theme drawing; null when
// absent or not loaded yet.
HMODULE ThemeLibrary();

// The module instance that classes and windows are made with.
HINSTANCE ProgramInstance();
