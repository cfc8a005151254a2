#pragma once
// The steps that every creation command shares: the native control as a
// child of the thread's current gadget list, then the record of the number.
// The kind's own set-up and GadgetRegister follow in the kind's command.
#include <windows.h>

#include <cstdint>

#include "runtime/object_registry.h"
#include "runtime/text.h"
#include "ui/gadgets/gadget_record.h"

struct GadgetControlDesign {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
    const Text* text; // null for none
};

// The control at x, y (client coordinates of the current list) with
// identifier -1, or null when it cannot be made: no registry, a number below
// -1, no current gadget list, or the platform refused. Nothing else happens
// then, so a gadget that has the number stays as it is.
HWND CreateGadgetControl(ObjectNumber number, const GadgetControlDesign& design, int32_t x,
                         int32_t y, int32_t width, int32_t height);

// The record for the number (a gadget that has it is destroyed first and its
// record handed back emptied). Null when there is none to be had, and the new
// control is then destroyed.
GadgetRecord* ObtainGadgetRecord(ObjectNumber number, HWND control);
