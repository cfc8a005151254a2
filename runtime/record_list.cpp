#include "runtime/record_list.h"

#include "runtime/program_heap.h"

// The payload follows the header directly; the header's size keeps pointer
// alignment for any payload of pointers and 32-bit words.
static ListLink* LinkOf(const void* payload) {
    return const_cast<ListLink*>(static_cast<const ListLink*>(payload) - 1);
}
static void* PayloadOf(ListLink* link) {
    return link ? link + 1 : nullptr;
}

static void LinkAtFront(RecordList* list, ListLink* link) {
    link->previous = nullptr;
    link->next = list->head;
    if (list->head) list->head->previous = link;
    list->head = link;
}

static void Unlink(RecordList* list, ListLink* link) {
    if (link == list->head) {
        list->head = link->next;
        if (list->head) list->head->previous = nullptr;
    } else {
        if (link->previous) link->previous->next = link->next;
        if (link->next) link->next->previous = link->previous;
    }
    link->next = link->previous = nullptr;
}

void* AddListRecord(RecordList* list, size_t payloadSize) {
    if (payloadSize > static_cast<size_t>(-1) - sizeof(ListLink)) return nullptr;
    auto* link = static_cast<ListLink*>(ProgramHeapAllocate(sizeof(ListLink) + payloadSize));
    if (!link) return nullptr;
    LinkAtFront(list, link);
    return PayloadOf(link);
}

void RemoveListRecord(RecordList* list, void* payload) {
    if (!payload) return;
    ListLink* link = LinkOf(payload);
    Unlink(list, link);
    ProgramHeapFree(link);
}

void* ListFirst(const RecordList* list) {
    return PayloadOf(list->head);
}

void* ListLast(const RecordList* list) {
    ListLink* link = list->head;
    while (link && link->next)
        link = link->next;
    return PayloadOf(link);
}

void* ListNext(const void* payload) {
    return PayloadOf(LinkOf(payload)->next);
}
void* ListPrevious(const void* payload) {
    return PayloadOf(LinkOf(payload)->previous);
}
