#include "ui/gadgets/gadget_append_queue.h"

#include <atomic>
#include <cstring>

#include "runtime/platform.h"
#include "runtime/program_heap.h"

namespace {

// One queued text.
struct QueuedText {
    QueuedText* next;
    size_t length;
    char bytes[1]; // length of them
};

// The texts waiting for one control, oldest first.
struct AppendQueue {
    AppendQueue* next; // in the list of queues
    HWND control;
    QueuedText* first;
    QueuedText* last;
    size_t bytes;
};

struct AppendQueues {
    OnceFlag ready;
    ReentrantLock lock;
    AppendQueue* first;
};

AppendQueues gQueues;
std::atomic<size_t> gLimit{kAppendQueueLimit};

void MakeLock() {
    LockInit(&gQueues.lock);
}

ReentrantLock* Lock() {
    RunOnce(&gQueues.ready, MakeLock);
    return &gQueues.lock;
}

// The queue of control and the link that points to it; *link is null when
// control has none. Called with the lock held.
AppendQueue** LinkOf(HWND control) {
    AppendQueue** link = &gQueues.first;
    while (*link && (*link)->control != control)
        link = &(*link)->next;
    return link;
}

} // namespace

AppendQueued QueueAppendText(HWND control, const Text& text) {
    auto* entry =
        static_cast<QueuedText*>(ProgramHeapAllocate(offsetof(QueuedText, bytes) + text.size()));
    if (!entry) return AppendQueued::Refused;
    entry->length = text.size();
    std::memcpy(entry->bytes, text.data(), text.size());

    LockGuard guard(Lock());
    AppendQueue** link = LinkOf(control);
    AppendQueue* queue = *link;
    if ((queue ? queue->bytes : 0) + text.size() > gLimit) {
        ProgramHeapFree(entry);
        return AppendQueued::Refused;
    }
    const bool first = !queue;
    if (first) {
        queue = static_cast<AppendQueue*>(ProgramHeapAllocate(sizeof(AppendQueue)));
        if (!queue) {
            ProgramHeapFree(entry);
            return AppendQueued::Refused;
        }
        queue->control = control;
        queue->first = entry;
        *link = queue;
    } else {
        queue->last->next = entry;
    }
    queue->last = entry;
    queue->bytes += text.size();
    return first ? AppendQueued::First : AppendQueued::Joined;
}

Text TakeQueuedText(HWND control) {
    AppendQueue* queue;
    {
        LockGuard guard(Lock());
        AppendQueue** link = LinkOf(control);
        queue = *link;
        if (!queue) return Text();
        *link = queue->next;
    }
    Text joined;
    joined.reserve(queue->bytes);
    for (QueuedText* entry = queue->first; entry;) {
        joined.append(entry->bytes, entry->length);
        QueuedText* next = entry->next;
        ProgramHeapFree(entry);
        entry = next;
    }
    ProgramHeapFree(queue);
    return joined;
}

size_t QueuedTextBytes(HWND control) {
    LockGuard guard(Lock());
    AppendQueue* queue = *LinkOf(control);
    return queue ? queue->bytes : 0;
}

void SetAppendQueueLimit(size_t bytes) {
    gLimit = bytes ? bytes : kAppendQueueLimit;
}
