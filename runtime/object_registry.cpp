#include "runtime/object_registry.h"

#include <cstring>

#include "runtime/program_heap.h"

ObjectRegistry* CreateObjectRegistry(int32_t recordSize, int32_t initialSlots,
                                     FreeCallback freeCallback) {
    if (recordSize < static_cast<int32_t>(sizeof(intptr_t)) || initialSlots < 1) return nullptr;
    auto* registry = static_cast<ObjectRegistry*>(ProgramHeapAllocate(sizeof(ObjectRegistry)));
    if (!registry) return nullptr;
    registry->slots = static_cast<void**>(ProgramHeapAllocate(sizeof(void*) * initialSlots));
    if (!registry->slots) {
        ProgramHeapFree(registry);
        return nullptr;
    }
    registry->recordSize = recordSize;
    registry->growthStep = initialSlots;
    registry->slotCount = initialSlots;
    registry->freeCallback = freeCallback;
    LockInit(&registry->lock);
    return registry;
}

void DestroyObjectRegistry(ObjectRegistry* registry) {
    if (!registry) return;
    for (intptr_t n = 0; n < registry->slotCount; ++n)
        ProgramHeapFree(registry->slots[n]);
    ProgramHeapFree(registry->slots);
    while (void* record = ListFirst(&registry->dynamic))
        RemoveListRecord(&registry->dynamic, record);
    LockDestroy(&registry->lock);
    ProgramHeapFree(registry);
}

static bool IsSlot(const ObjectRegistry* registry, ObjectNumber number) {
    return number >= 0 && number < registry->slotCount;
}

// A number outside the slot table names a dynamic record only if it is the
// address of one that is still linked; anything else names nothing.
static void* LiveDynamicRecord(const ObjectRegistry* registry, ObjectNumber number) {
    for (void* record = ListFirst(&registry->dynamic); record; record = ListNext(record))
        if (reinterpret_cast<ObjectNumber>(record) == number) return record;
    return nullptr;
}

static bool GrowSlots(ObjectRegistry* registry, ObjectNumber number) {
    const intptr_t limit = static_cast<intptr_t>(SIZE_MAX / sizeof(void*) / 2);
    if (number > limit - registry->growthStep) return false;
    intptr_t count = number + registry->growthStep;
    void* grown = ProgramHeapReAllocate(registry->slots, sizeof(void*) * count);
    if (!grown) return false;
    registry->slots = static_cast<void**>(grown); // new slots come zero-filled
    registry->slotCount = count;
    return true;
}

void* ObtainObject(ObjectRegistry* registry, ObjectNumber number) {
    LockGuard guard(&registry->lock);
    if (number == DynamicNumber) return AddListRecord(&registry->dynamic, registry->recordSize);
    if (number < 0) return nullptr;
    if (number >= registry->slotCount && !GrowSlots(registry, number)) return nullptr;
    if (registry->slots[number]) {
        // Closes whatever the number held; the callback normally ends in
        // ReleaseObject, which empties the record for reuse.
        if (registry->freeCallback) registry->freeCallback(number);
    } else {
        registry->slots[number] = ProgramHeapAllocate(registry->recordSize);
    }
    return registry->slots[number];
}

void* FindObject(ObjectRegistry* registry, ObjectNumber number) {
    LockGuard guard(&registry->lock);
    void* record = IsSlot(registry, number) ? registry->slots[number]
                   : number < -1            ? nullptr
                                            : LiveDynamicRecord(registry, number);
    return record && RecordMarker(record) != 0 ? record : nullptr;
}

void ReleaseObject(ObjectRegistry* registry, ObjectNumber number) {
    LockGuard guard(&registry->lock);
    if (IsSlot(registry, number)) {
        if (void* record = registry->slots[number]) std::memset(record, 0, registry->recordSize);
        return;
    }
    if (number < -1) return;
    if (void* record = LiveDynamicRecord(registry, number)) {
        // A scan in progress must not step onto the freed record.
        if (registry->scanCursor == record) registry->scanCursor = ListPrevious(record);
        RemoveListRecord(&registry->dynamic, record);
    }
}

void FreeAllObjects(ObjectRegistry* registry) {
    if (!registry->freeCallback) return;
    BeginObjectScan(registry);
    ObjectNumber number;
    while (NextObject(registry, &number))
        registry->freeCallback(number);
}

void BeginObjectScan(ObjectRegistry* registry) {
    LockEnter(&registry->lock);
    registry->scanPosition = 0;
    registry->scanCursor = ListLast(&registry->dynamic);
}

void* NextObject(ObjectRegistry* registry, ObjectNumber* number) {
    while (registry->scanPosition < registry->slotCount) {
        intptr_t position = registry->scanPosition++;
        void* record = registry->slots[position];
        if (record && RecordMarker(record) != 0) {
            *number = position;
            return record;
        }
    }
    if (void* record = registry->scanCursor) {
        registry->scanCursor = ListPrevious(record);
        *number = reinterpret_cast<ObjectNumber>(record);
        return record;
    }
    LockLeave(&registry->lock);
    return nullptr;
}

void EndObjectScan(ObjectRegistry* registry) {
    LockLeave(&registry->lock);
}
