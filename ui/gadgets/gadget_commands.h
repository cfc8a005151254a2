#pragma once
// Showing, hiding, enabling and disabling any kind of gadget.
#include <cstdint>

#include "runtime/object_registry.h"

// Non-zero hides the gadget, 0 shows it. Numbers that name no gadget are
// ignored.
void GadgetHide(ObjectNumber number, int32_t state);
// Non-zero disables the gadget, 0 enables it. Numbers that name no gadget are
// ignored.
void GadgetDisable(ObjectNumber number, int32_t state);
