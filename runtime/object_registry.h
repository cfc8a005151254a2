#pragma once
// ObjectRegistry: maps object numbers to fixed-size, zero-filled records that
// the registry owns (windows, gadgets, servers). A record's first word is its
// in-use marker: the owning library stores a non-zero value there once the
// object exists, and a record whose marker is 0 holds no object.
//
// Numbers 0 and up index a slot table that grows on demand and never shrinks;
// DynamicNumber asks for a new record whose address becomes its number.
// Every operation takes the registry's re-entrant lock; a scan holds it from
// BeginObjectScan until NextObject returns null or EndObjectScan.
#include <cstddef>
#include <cstdint>

#include "runtime/platform.h"
#include "runtime/record_list.h"

using ObjectNumber = intptr_t;
constexpr ObjectNumber DynamicNumber = -1;

// Closes the object of a number; the library's own close operation. It is
// called with the registry's lock held and may call back into the registry.
using FreeCallback = void (*)(ObjectNumber number);

struct ObjectRegistry {
    int32_t recordSize;
    int32_t growthStep; // initial slots, and the headroom added on growth
    intptr_t slotCount;
    void** slots;       // slot n: record of number n, or null if never obtained
    RecordList dynamic; // records of dynamic numbers, newest first
    FreeCallback freeCallback;
    intptr_t scanPosition;
    void* scanCursor; // next dynamic record of the running scan
    ReentrantLock lock;
};

// recordSize must hold at least the marker word. Null when the program heap
// cannot supply the registry or its table.
ObjectRegistry* CreateObjectRegistry(int32_t recordSize, int32_t initialSlots,
                                     FreeCallback freeCallback);
// Frees the registry and all its records without calling the free callback.
// The program itself never does this (its registries live until exit); tests
// and tools that make registries of their own do.
void DestroyObjectRegistry(ObjectRegistry* registry);

// The record for a number, created if needed. A number whose record already
// exists has its object closed first through the free callback (whether or
// not it is in use) and gets the same record back. DynamicNumber gives a new
// record. Null for numbers below -1 and when memory runs out.
void* ObtainObject(ObjectRegistry* registry, ObjectNumber number);
// The record of an existing object (marker non-zero), or null. A number
// outside the slot table counts only if it is the address of a live dynamic
// record.
void* FindObject(ObjectRegistry* registry, ObjectNumber number);
// Empties a numbered record (it stays allocated) or frees a dynamic one.
// Numbers that name nothing change nothing.
void ReleaseObject(ObjectRegistry* registry, ObjectNumber number);
// Calls the free callback for every object; nothing without a callback.
void FreeAllObjects(ObjectRegistry* registry);

// Scan: numbered objects in ascending order, then dynamic ones oldest first
// (these whatever their marker holds). NextObject returns null at the end,
// which also ends the scan and releases the lock.
void BeginObjectScan(ObjectRegistry* registry);
void* NextObject(ObjectRegistry* registry, ObjectNumber* number);
// Ends a scan that is stopped before NextObject returned null.
void EndObjectScan(ObjectRegistry* registry);

// The in-use marker of a record.
inline intptr_t RecordMarker(const void* record) {
    return *static_cast<const intptr_t*>(record);
}
