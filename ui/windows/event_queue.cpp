// The per-thread event queue.
#include "ui/windows/event_queue.h"

#include "runtime/platform.h"
#include "runtime/threads.h"
#include "ui/windows/event_codes.h"
#include "ui/windows/event_wait.h"

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(EventNode) == 28, "an event node is seven 32-bit words");
#endif

namespace {

int32_t gQueueOffset = -1;

// One process-wide lock around the list operations of every queue. Made on
// first use, so that a queue used before PostEventInit is still guarded.
ReentrantLock gQueueLock;
OnceFlag gQueueLockOnce;

ReentrantLock& QueueLock() {
    RunOnce(&gQueueLockOnce, [] { LockInit(&gQueueLock); });
    return gQueueLock;
}

void ConstructQueue(void* variable) {
    auto* queue = static_cast<EventQueue*>(variable);
    queue->pool = CreateBlockPool(sizeof(EventNode), 16, 256);
    if (queue->pool) queue->reserve = PoolAllocate(queue->pool);
}

// Runs on an exit-watcher thread after the queue's thread has ended.
void DestroyQueue(void* variable) {
    auto* queue = static_cast<EventQueue*>(variable);
    DestroyBlockPool(queue->pool); // every node and the reserve go with it
    *queue = EventQueue{};
}

struct EventPattern {
    int32_t code;
    ObjectNumber gadget;
    ObjectNumber window;
    int32_t type;
    bool windowOnly; // match the window field alone, -1 included
};

bool Matches(const EventNode* node, const EventPattern& pattern) {
    if (pattern.windowOnly) return node->window == pattern.window;
    return (pattern.code == -1 || node->code == pattern.code) &&
           (pattern.gadget == -1 || node->gadget == pattern.gadget) &&
           (pattern.window == -1 || node->window == pattern.window) &&
           (pattern.type == -1 || node->type == pattern.type);
}

// Unlinks every node that matches, keeping the order of the rest. Their data
// will never be delivered, so it is released here.
void RemoveWhere(const EventPattern& pattern) {
    EventQueue* queue = ThreadEventQueue();
    if (!queue) return;
    EventNode* removed = nullptr;
    {
        LockGuard guard(&QueueLock());
        EventNode* previous = nullptr;
        EventNode* node = queue->head;
        while (node) {
            EventNode* next = node->next;
            if (Matches(node, pattern)) {
                if (previous)
                    previous->next = next;
                else
                    queue->head = next;
                if (queue->tail == node) queue->tail = previous;
                node->next = removed;
                removed = node;
            } else {
                previous = node;
            }
            node = next;
        }
    }
    while (removed) {
        EventNode* next = removed->next;
        if (removed->release) removed->release(removed->data);
        PoolFree(queue->pool, removed);
        removed = next;
    }
}

} // namespace

void EventQueueInit() {
    QueueLock();
    if (gQueueOffset < 0)
        gQueueOffset = RegisterThreadVariable(sizeof(EventQueue), ConstructQueue, DestroyQueue);
}

EventQueue* ThreadEventQueue() {
    if (gQueueOffset < 0) return nullptr;
    return static_cast<EventQueue*>(ThreadVariable(gQueueOffset));
}

int32_t EventPostWithData(int32_t code, ObjectNumber gadget, ObjectNumber window, int32_t type,
                          void* data, EventRelease release) {
    EventQueue* queue = ThreadEventQueue();
    int32_t kept = 0;
    {
        LockGuard guard(&QueueLock());
        EventNode* tail = queue ? queue->tail : nullptr;
        if (tail && code < EVENT_FIRST_UNCOLLAPSED && tail->code == code &&
            tail->gadget == gadget && tail->window == window && tail->type == type) {
            kept = 1; // the tail already stands for this event
        } else if (auto* node = static_cast<EventNode*>(
                       queue && queue->pool ? PoolAllocate(queue->pool) : nullptr)) {
            *node = EventNode{nullptr, code, gadget, window, type, data, release};
            if (tail)
                tail->next = node;
            else
                queue->head = node;
            queue->tail = node;
            return 1;
        }
    }
    // Merged into the tail or dropped: nobody will deliver this data.
    if (release) release(data);
    return kept;
}

int32_t EventPost(int32_t code, ObjectNumber gadget, ObjectNumber window, int32_t type) {
    return EventPostWithData(code, gadget, window, type, nullptr, nullptr);
}

int32_t EventPop(EventFields* record) {
    EventQueue* queue = ThreadEventQueue();
    if (!queue) return 0;
    LockGuard guard(&QueueLock());
    EventNode* node = queue->head;
    if (!node) return 0;
    queue->head = node->next;
    if (!queue->head) queue->tail = nullptr;
    record->gadget = node->gadget;
    record->window = node->window;
    record->type = node->type;
    record->data = node->data;
    record->release = node->release;
    int32_t code = node->code;
    PoolFree(queue->pool, node);
    return code;
}

void EventsRemoveForWindow(ObjectNumber window) {
    RemoveWhere({0, 0, window, 0, true});
}

void EventsRemoveMatching(int32_t code, ObjectNumber gadget, ObjectNumber window, int32_t type) {
    RemoveWhere({code, gadget, window, type, false});
}

int32_t EventQueueLength() {
    EventQueue* queue = ThreadEventQueue();
    if (!queue) return 0;
    LockGuard guard(&QueueLock());
    int32_t length = 0;
    for (EventNode* node = queue->head; node; node = node->next)
        ++length;
    return length;
}
