#pragma once
// Setting, reading and appending to a gadget's text, from any thread.
//
// A control belongs to the thread that created it. A set or a read from
// another thread is carried over to that thread as one sent message and
// returns when that thread has handled it, which it does while it waits for
// events (or in any other message wait). Until then the calling thread waits.
// An append from another thread does not wait: it is queued for the control,
// and the control's thread inserts the whole queue at once when it next
// handles messages. Every other text command inserts what is queued first, so
// appends keep their order and a read sees every append made before it.
#include <windows.h>

#include "runtime/object_registry.h"
#include "runtime/text.h"
#include "ui/gadgets/gadget_record.h"

// Replaces the gadget's whole text; no text sets "". Numbers that name no
// gadget are ignored.
void GadgetSetText(ObjectNumber number, const Text& text = Text());
// Adds text at the end of the gadget's text. An editor takes it in one
// insertion, whatever it holds already, and shows the end; other kinds have
// their whole text replaced by the joined text. From another thread it
// returns at once, unless the control's queue is full (see
// gadget_append_queue.h): then it waits as a set does. Numbers that name no
// gadget are ignored.
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
