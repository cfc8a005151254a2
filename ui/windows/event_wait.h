#pragma once
// The wait for events and the record of the event being delivered.
//
// Each thread has a current-event record with two halves of the same fields.
// The live half is written by the wait and, during dispatch, by the window
// procedure; when a wait returns an event the live half is copied whole into
// the delivered half, which the accessors read. So the values of the
// delivered event stay fixed while the caller handles it, whatever messages
// are dispatched meanwhile.
#include <windows.h>

#include <cstdint>

#include "runtime/object_registry.h"
#include "ui/windows/event_queue.h"

struct EventFields {
    ObjectNumber gadget;
    ObjectNumber window;
    int32_t type;
    int32_t pendingCode; // an event the window procedure produced directly; 0 for none
    uintptr_t wParam;    // of the message the event came from
    intptr_t lParam;
    void* data;
    EventRelease release;
};

struct CurrentEventRecord {
    EventFields live;
    EventFields delivered;
};

// Registers the current-event record as a per-thread variable (part of
// WindowsInit).
void CurrentEventInit();
// The calling thread's record; null before CurrentEventInit or when the
// thread's variables cannot be made.
CurrentEventRecord* CurrentEvent();

// Waits for the next event: first the queue, then one system message, which
// is translated and dispatched. timeoutMs -1 waits without limit, 0 not at
// all. Returns the event code, the number of a message that produced no
// event, or 0 when the time ran out or nothing was there.
int32_t EventWait(int32_t timeoutMs);
// EventWait(-1).
int32_t EventWaitForever();

// Fields of the event last delivered to the calling thread.
ObjectNumber EventGadgetNumber();
ObjectNumber EventWindowNumber();
int32_t EventType();
void* EventData();
uintptr_t EventWParam();
intptr_t EventLParam();

// Dispatches every pending message of the calling thread without shortcut
// translation, then clears the live pending code: no event produced directly
// during the flush is delivered; queued ones stay queued.
void FlushMessages();
