#pragma once
// The gadget library's start and end routines, the last step of every
// creation command (GadgetRegister) and the window procedure in front of
// every gadget's control (GadgetProc). The records live in gadget_store.h.
#include <windows.h>

#include <cstdint>

#include "runtime/object_registry.h"
#include "ui/gadgets/gadget_record.h"

// Start routine, once on the main thread before any window is opened: the
// gadget lock, the default GUI font, the registry (50 slots, step 50, freeing
// through GadgetFree), the per-thread gadget-list state, the common control
// classes, and the two hooks through which windows reach this library.
void GadgetsInit();
// End routine. The gadgets are destroyed with their windows (WindowsEnd runs
// after it), each cleaning up after itself, so nothing is left to release here.
void GadgetsEnd();

// The platform's default GUI font (DEFAULT_GUI_FONT).
HFONT DefaultGuiFont();

// Makes a freshly created control the gadget of number (its record obtained
// already): GadgetProc goes in front of the control's procedure, the control
// carries the number as its identifier and as KX_ID, and gets the thread's
// gadget-list font. Returns the number for DynamicNumber (the record's
// address), else the control's handle.
intptr_t GadgetRegister(ObjectNumber number, GadgetRecord* record, HWND control,
                        const GadgetKind* kind);

// Window procedure of every gadget's control: forwards every message to the
// procedure it replaced; after the control's final message (WM_NCDESTROY) it
// runs the kind's OnDestroy, removes KX_ID, sets the identifier to -1, drops
// the thread's queued gadget events of the number and releases the record.
LRESULT CALLBACK GadgetProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
