#pragma once
// The gadget list: per thread, the window into which new gadgets go. A window
// becomes a gadget list at its first GadgetListUse; from then on it carries a
// save record (property "KX_GadgetStack_<module instance>") that holds its
// list state while another window's list is current, and GadgetListProc
// stands in front of its procedure until it is destroyed.
#include <windows.h>

#include <cstdint>

#include "ui/windows/native_text.h"

// One per thread, made on the thread's first use.
struct GadgetListState {
    HWND currentList; // where new gadgets are created; null for none
    HFONT font;       // given to every new gadget: the default GUI font
    HWND* stack;      // nested lists, program heap; null while a save record holds it
    int32_t depth;    // 0: this program never nests lists
    int32_t capacity;
};

// What a window keeps of its list state while another list is current.
struct GadgetListSave {
    HWND window;
    HWND savedList;
    HWND* savedStack;
    int32_t savedDepth;
    int32_t savedCapacity;
    WNDPROC previousProcedure; // the procedure GadgetListProc was put in front of
};

// Registers the per-thread state (part of GadgetsInit).
void GadgetListInit(HFONT defaultFont);
// The calling thread's state; null before GadgetListInit.
GadgetListState* ThreadGadgetListState();
// The owner of the current list: the stack's first entry while lists are
// nested, else the current list itself.
HWND GadgetListOwner(const GadgetListState* state);

// Makes window the calling thread's current gadget list and returns the
// previous owner (null for none); a null window only asks. A window that was
// a list before gets its own state back.
HWND GadgetListUse(HWND window);

// Window procedure in front of every window that has served as a gadget list:
// at the window's final message it lets go of the list (the thread has no
// current list afterwards if it was this one) and frees the save record.
LRESULT CALLBACK GadgetListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The name of the save-record property, and a window's save record (or null).
NumberedName GadgetListPropertyName();
GadgetListSave* GadgetListSaveOf(HWND window);
