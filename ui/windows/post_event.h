#pragma once
// Handing events to the main thread's queue from other threads: a hidden
// window of class "PostEventClass", made on the main thread, receives the
// registered message "KX_PostEventMessage" with a posted-event block and
// queues the event on the thread that owns it.
#include <windows.h>

#include <cstdint>

#include "runtime/object_registry.h"

// What a sender hands over; taken from the program heap by the sender and
// freed by the receiver.
struct PostedEvent {
    int32_t code;
    ObjectNumber gadget;
    ObjectNumber window;
    int32_t type;
    void* data; // delivered as the event's data; the receiver of the event owns it
};

// Start routine, on the main thread before WindowsInit: the class, the
// hidden window, the registered message, the per-thread event queue and the
// queue lock. Nothing undoes it.
void PostEventInit();

// Hands an event to the queue of the thread that ran PostEventInit. Returns
// 1 when the block was posted, 0 when it could not be (no window yet, no
// memory, the system refused): the event is then lost and data is untouched.
int32_t EventPostToMainThread(int32_t code, ObjectNumber gadget, ObjectNumber window, int32_t type,
                              void* data);

// Queues EVENT_GADGET for a control on the calling thread: the gadget is the
// control's identifier, the window the number of its owner window
// (FindOwnerWindow). Called from window procedures, so on the window's thread.
void PostGadgetEvent(HWND control, int32_t type);

// The hidden window and the registered message number (0 before init).
HWND PostEventWindow();
UINT PostEventMessage();
