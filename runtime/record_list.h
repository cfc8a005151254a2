#pragma once
// RecordList: a doubly linked list of program-heap records, newest first.
// Each record is a link header followed by its zero-filled payload; callers
// only ever see and pass payload addresses. No lock: the owner guards it.
#include <cstddef>

struct ListLink {
    ListLink* next;     // older record
    ListLink* previous; // newer record
};

// A zero-filled RecordList is an empty list.
struct RecordList {
    ListLink* head; // newest record, or null
};

// Adds a zero-filled record in front and returns its payload, or null when
// the program heap cannot supply it (the list is then unchanged).
void* AddListRecord(RecordList* list, size_t payloadSize);
// Unlinks the record of this payload and frees it.
void RemoveListRecord(RecordList* list, void* payload);

// Walking: newest to oldest with ListFirst/ListNext, oldest to newest with
// ListLast/ListPrevious. Each returns a payload, or null past the end.
void* ListFirst(const RecordList* list);
void* ListLast(const RecordList* list);
void* ListNext(const void* payload);
void* ListPrevious(const void* payload);
