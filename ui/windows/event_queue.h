#pragma once
// The per-thread event queue: first in, first out, its nodes taken from a
// block pool of the thread's own. Events are appended by the thread itself
// (window procedures run on the window's thread); other threads hand events
// to the main thread through the post-event window (post_event.h).
#include <cstdint>

#include "runtime/block_pool.h"
#include "runtime/object_registry.h"

// Releases the data of an event once it has been delivered.
using EventRelease = void (*)(void* data);

// One queued event. Gadget and window fields are object numbers, so they
// hold a dynamic number (an address) on 64-bit builds too; on 32-bit
// Windows the node is seven 32-bit words.
struct EventNode {
    EventNode* next; // none at the tail
    int32_t code;
    ObjectNumber gadget;
    ObjectNumber window;
    int32_t type;
    void* data;
    EventRelease release;
};

struct EventQueue {
    BlockPool* pool;
    EventNode* head; // oldest
    EventNode* tail; // newest
    void* reserve;   // one block held for good, so the pool keeps its first chunk
};

// The fields of an event as EventPop hands them over.
struct EventFields;

// Registers the queue as a per-thread variable (part of PostEventInit).
void EventQueueInit();
// The calling thread's queue; null when the queue is not registered or the
// thread's variables cannot be made.
EventQueue* ThreadEventQueue();

// Appends an event to the calling thread's queue, unless the tail is the
// same event (code below EVENT_FIRST_UNCOLLAPSED and equal code, gadget,
// window and type): runs of identical events collapse into one. Returns 1
// when the event is in the queue (appended or merged into the tail), 0 when
// it was dropped because no node could be had. The data of an event that is
// merged or dropped is released at once when a release function is given.
int32_t EventPostWithData(int32_t code, ObjectNumber gadget, ObjectNumber window, int32_t type,
                          void* data, EventRelease release);
int32_t EventPost(int32_t code, ObjectNumber gadget, ObjectNumber window, int32_t type);
// Takes the oldest event into record (gadget, window, type, data, release)
// and returns its code; 0 with record untouched when the queue is empty.
int32_t EventPop(EventFields* record);
// Removes every event of a window number.
void EventsRemoveForWindow(ObjectNumber window);
// Removes every event that matches all four values; -1 matches any value.
void EventsRemoveMatching(int32_t code, ObjectNumber gadget, ObjectNumber window, int32_t type);
// Events in the calling thread's queue (for tests and diagnostics).
int32_t EventQueueLength();
