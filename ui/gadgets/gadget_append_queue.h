#pragma once
// Text appended to a control by a thread other than the control's own waits
// here, on a queue kept for that control, until the control's thread takes
// it all at once. The appending thread never waits for the control's thread
// (a network worker that waited for the received box lost datagrams while
// the box drew); only the first text of a batch wakes the control's thread.
//
// The queues are process-wide and locked; their texts come from the program
// heap. A control has a queue only while something waits on it.
#include <windows.h>

#include <cstddef>

#include "runtime/text.h"

// What became of a text given to QueueAppendText.
enum class AppendQueued {
    First,   // queued, and the queue was empty: the control's thread is to be woken
    Joined,  // queued behind texts whose wake-up is already on its way
    Refused, // not queued: the queue is full, or no memory; append it synchronously
};

// Bytes that may wait for one control. At the fastest the worker can receive
// (about a hundred payloads of at most 995 bytes a second) this holds more
// than a minute of payloads, far longer than the control's thread is ever
// busy, while it stays a small part of a 32-bit address space.
constexpr size_t kAppendQueueLimit = size_t{8} << 20;

// Queues a copy of text for control, unless that would take the queue's
// bytes past the limit.
AppendQueued QueueAppendText(HWND control, const Text& text);
// Everything queued for control, joined in the order it was queued; the
// queue is then empty (and gone). "" when nothing waits.
Text TakeQueuedText(HWND control);
// Bytes waiting for control.
size_t QueuedTextBytes(HWND control);

// Test hook: the limit in bytes; 0 restores kAppendQueueLimit.
void SetAppendQueueLimit(size_t bytes);
