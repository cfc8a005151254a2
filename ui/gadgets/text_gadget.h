#pragma once
// The text gadget: a label (native class "Static").
#include <cstdint>

#include "runtime/object_registry.h"
#include "runtime/text.h"

// Creation flags; every other bit is a native style bit and passes through.
constexpr uint32_t TEXT_CENTER = 0x1;     // SS_CENTER: centred text
constexpr uint32_t TEXT_RIGHT = 0x2;      // SS_RIGHT: right-aligned text
constexpr uint32_t TEXT_BORDER = 0x20000; // the sunken client-edge border

// Creates a label in the current gadget list at x, y (client pixels). Returns
// the control's handle, the number for -1 (the record's address), or 0 when
// the control could not be made. A gadget that has the number is destroyed
// first, unless the new control could not be made.
intptr_t GadgetCreateText(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height,
                          const Text& text, uint32_t flags = 0);
