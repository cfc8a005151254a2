#pragma once
// The window procedure of every numbered window: system messages become
// events (queued, or left in the live pending code for the wait in
// progress), control notifications go to the control's gadget kind, the
// focused control is remembered across deactivation, and Tab and Shift+Tab
// move between controls.
#include <windows.h>

#include "ui/windows/message_result.h"

// The class procedure: WindowMessageToEvent, then the default procedure for
// what it did not handle. Clears the thread's last-error code.
LRESULT CALLBACK WindowClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Turns one message into events; NotHandled leaves the message to the
// default procedure.
MessageResult WindowMessageToEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Hands a message that the parent received about a control to the control's
// gadget kind. NotHandled for no control, for a control that is not a gadget
// (its KX_ID differs from its identifier), or when the gadget library has
// nothing to say about it.
MessageResult ForwardToGadget(HWND control, HWND parent, UINT message, WPARAM wParam,
                              LPARAM lParam);
