#include "ui/gadgets/brush_cache.h"

#include "runtime/platform.h"
#include "runtime/record_list.h"

namespace {

struct BrushEntry {
    int32_t color;
    HBRUSH brush;
    int32_t count;
};

struct BrushCache {
    bool ready;
    ReentrantLock lock; // the gadget lock
    RecordList entries; // newest first
};

BrushCache gCache;

BrushEntry* EntryOfBrush(HBRUSH brush) {
    for (void* p = ListFirst(&gCache.entries); p; p = ListNext(p)) {
        auto* entry = static_cast<BrushEntry*>(p);
        if (entry->brush == brush) return entry;
    }
    return nullptr;
}

} // namespace

void BrushCacheInit() {
    if (gCache.ready) return;
    LockInit(&gCache.lock);
    gCache.ready = true;
}

HBRUSH BrushAcquire(int32_t color) {
    if (!gCache.ready) return nullptr;
    LockGuard guard(&gCache.lock);
    for (void* p = ListFirst(&gCache.entries); p; p = ListNext(p)) {
        auto* entry = static_cast<BrushEntry*>(p);
        if (entry->color == color) {
            ++entry->count;
            return entry->brush;
        }
    }
    // Only an entry with a brush is kept: one without would hold references
    // that no release could ever give back.
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(color));
    if (!brush) return nullptr;
    auto* entry = static_cast<BrushEntry*>(AddListRecord(&gCache.entries, sizeof(BrushEntry)));
    if (!entry) {
        DeleteObject(brush);
        return nullptr;
    }
    *entry = BrushEntry{color, brush, 1};
    return brush;
}

void BrushRelease(HBRUSH brush) {
    if (!gCache.ready || !brush) return;
    LockGuard guard(&gCache.lock);
    BrushEntry* entry = EntryOfBrush(brush);
    if (!entry) return;
    if (--entry->count > 0) return;
    DeleteObject(entry->brush);
    RemoveListRecord(&gCache.entries, entry);
}

int32_t BrushCacheSize() {
    if (!gCache.ready) return 0;
    LockGuard guard(&gCache.lock);
    int32_t size = 0;
    for (void* p = ListFirst(&gCache.entries); p; p = ListNext(p))
        ++size;
    return size;
}

int32_t BrushReferences(HBRUSH brush) {
    if (!gCache.ready || !brush) return 0;
    LockGuard guard(&gCache.lock);
    BrushEntry* entry = EntryOfBrush(brush);
    return entry ? entry->count : 0;
}
