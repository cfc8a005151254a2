#include "ui/gadgets/gadget_store.h"

#include <windows.h>

namespace {

ObjectRegistry* gRegistry;

void FreeForRegistry(ObjectNumber number) {
    GadgetFree(number);
}

} // namespace

void GadgetStoreInit() {
    if (!gRegistry) gRegistry = CreateObjectRegistry(sizeof(GadgetRecord), 50, FreeForRegistry);
}

ObjectRegistry* GadgetRegistry() {
    return gRegistry;
}

GadgetRecord* FindGadget(ObjectNumber number) {
    if (!gRegistry) return nullptr;
    return static_cast<GadgetRecord*>(FindObject(gRegistry, number));
}

int32_t GadgetFree(ObjectNumber number) {
    if (!gRegistry) return 0;
    if (number == DynamicNumber) {
        FreeAllObjects(gRegistry);
        return 0;
    }
    GadgetRecord* record = FindGadget(number);
    if (!record) return 0;
    return DestroyWindow(record->handle) ? 1 : 0;
}
