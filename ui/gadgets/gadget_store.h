#pragma once
// The gadget store: the registry that owns every gadget's record, found by
// the gadget's number, and freeing gadgets.
#include <cstdint>

#include "runtime/object_registry.h"
#include "ui/gadgets/gadget_record.h"

// Makes the registry (50 slots, step 50, freeing through GadgetFree); part of
// GadgetsInit.
void GadgetStoreInit();
// The registry, null before GadgetStoreInit.
ObjectRegistry* GadgetRegistry();
// The record of an existing gadget, or null.
GadgetRecord* FindGadget(ObjectNumber number);

// Destroys a gadget (its clean-up runs in GadgetProc) and returns what the
// platform returned: non-zero on success, 0 when it failed or the number names
// no gadget. -1 destroys every gadget and returns 0. A control can be
// destroyed only on the thread that owns it. Also the registry's free callback.
int32_t GadgetFree(ObjectNumber number);
