#pragma once
// Setting, reading and appending to a gadget's text, from any thread.
//
// A control belongs to the thread that created it. A call from another thread
// is carried over to that thread as one sent message and returns when that
// thread has handled it, which it does while it waits for events (or in any
// other message wait). Until then the calling thread waits.
#include <windows.h>

#include "runtime/object_registry.h"
#include "runtime/text.h"
#include "ui/gadgets/gadget_record.h"

// Replaces the gadget's whole text; no text sets "". Numbers that name no
// gadget are ignored.
void GadgetSetText(ObjectNumber number, const Text& text = Text());
// Adds text at the end of the gadget's text. An editor takes it in one
// insertion, whatever it holds already, and shows the end; other kinds have
// their whole text replaced by the joined text. Numbers that name no gadget
// are ignored.
void GadgetAppendText(ObjectNumber number, const Text& text);
// The gadget's whole text; "" for a number that names no gadget.
Text GadgetGetText(ObjectNumber number);

// The control's window text as a text (the common default of GetText).
// Characters that Windows-1251 cannot hold become "?"; exact, when given, is
// set to whether none did.
Text ReadWindowText(HWND control, bool* exact = nullptr);
// Sets the control's window text (the common default of SetText).
void WriteWindowText(HWND control, const Text& text);

// Registers the message that carries the calls (part of GadgetsInit).
void GadgetTextInit();
// GadgetProc hands the carried calls over on the control's own thread.
bool IsGadgetTextRequest(UINT message);
LRESULT ServeGadgetTextRequest(GadgetRecord* record, WPARAM wParam, LPARAM lParam);
